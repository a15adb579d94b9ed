#pragma once
// Edits whose text goes into a fixed cp932 field of a file: typing that would pass the
// field's room in bytes (or bring a character cp932 cannot hold) is undone, as a
// length-limited edit box refuses it.
#include <QLineEdit>
#include <cstddef>

namespace kantor::app {

// Limits `edit` to `bytes` bytes of cp932 (the field's size less its terminating zero).
void limitCp932Bytes(QLineEdit* edit, std::size_t bytes);

// True when `text` fits `bytes` bytes of cp932 and every character has a cp932 code.
bool fitsCp932Bytes(const QString& text, std::size_t bytes);

}  // namespace kantor::app
