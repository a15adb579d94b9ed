#pragma once
// The program's icons are compiled into its library; this makes them reachable (":/icons/").
namespace kantor::app {
void initResources();
}
