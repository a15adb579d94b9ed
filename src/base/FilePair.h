#pragma once
// Two files that belong together (a song and the MIDI file it names) put in place so that
// they appear together or not at all, even when the program is killed in the middle.
//
// Both are first written completely under hidden names beside their targets
// (".NAME.pair-new", each itself written through an AtomicFile, so that it exists only when
// complete and flushed). Then the first pending file is renamed onto the first target and
// the second onto the second. The states a kill can leave are told apart by the pending
// files alone:
//   - only the first pending file: the second was never complete; nothing was put in place,
//     and the pending file is removed;
//   - the second pending file (with or without the first): both were complete before the
//     first rename, so the write is finished: the renames that are missing are made.
// recoverFilePair() does that; a writer calls it under the lock of the pair (the song's lock)
// before it looks at the targets, so a pair cut short is completed before anything else
// happens to it.
#include <cstdint>
#include <span>
#include <string>

namespace kantor {

// The hidden name a pair write uses for `target` until it is put in place.
std::string pendingPairPath(const std::string& target);

// Writes both files and puts them in place, the first before the second. On failure
// `error` names the file and the reason; if the failure came before the first rename,
// neither target was touched and no pending file is left.
bool writeFilePair(const std::string& first, std::span<const uint8_t> firstBytes, const std::string& second,
                   std::span<const uint8_t> secondBytes, std::string& error);

// Finishes or drops a pair write that was cut short (see above). `finished` (when given)
// tells whether a pair was completed. False with `error` when a rename or removal fails.
bool recoverFilePair(const std::string& first, const std::string& second, std::string& error,
                     bool* finished = nullptr);

// Tests stop a pair write after its first rename, as a kill would.
void stopFilePairAfterFirstRenameForTesting(bool stop);

}  // namespace kantor
