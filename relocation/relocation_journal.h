// The journal of a relocation in progress: a small text file in the program's own folder of the
// user's local application data, written before the source folder is renamed and removed once the run no longer needs it
// (the renamed folder deleted, or renamed back). A journal found at the next start means that a
// run was cut off while the source was away from its Original Location.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/system.h"

namespace tessaly {

inline constexpr const wchar_t* kRelocationJournalName = L"Relocation in progress.txt";

// What a journal records: the three places of a move and its options.
struct RelocationJournal {
  std::wstring source;   // the Original Location
  std::wstring renamed;  // the source folder's temporary name (.orig<n>)
  std::wstring target;   // the Full Target Path
  bool compareContents = false;
};

// (local application data)\Quillmoor\Tessaly\Relocation in progress.txt, in a folder of the
// program's own that no relocation may move; the folder is created if missing. 1359 when the
// system gives no local application data folder, else the error of creating the folder.
[[nodiscard]] ErrorCode GetRelocationJournalPath(FileSystem& fs, System& system, std::wstring& out);
// Where earlier versions kept the journal: (Tessaly Documents)\Relocation in progress.txt.
[[nodiscard]] ErrorCode GetEarlierRelocationJournalPath(FileSystem& fs, System& system,
                                                        std::wstring& out);
// The journal left by a run that did not end, at the current place or the earlier one: 0 with
// its path, 2 when there is none at either.
[[nodiscard]] ErrorCode FindRelocationJournal(FileSystem& fs, System& system, std::wstring& out);

// The journal's text: a heading line, then one "Name=value" line per field.
std::wstring FormatRelocationJournal(const RelocationJournal& journal);
// Reads the text back; false for anything but a journal of this form with every field present,
// once each, the paths non-empty and the renamed folder named "(source).orig<n>".
bool ParseRelocationJournal(std::wstring_view text, RelocationJournal& out);

// Writes the journal as UTF-8 text to a temporary name beside it, flushes it to the disk and
// renames it into place, so that a journal is either whole or absent, never empty.
[[nodiscard]] ErrorCode WriteRelocationJournal(FileSystem& fs, const std::wstring& path,
                                               const RelocationJournal& journal);
// 0 with the journal read; 2 (or 3) when there is none; 13 when the file is not a journal;
// otherwise the error of reading it.
[[nodiscard]] ErrorCode ReadRelocationJournal(FileSystem& fs, const std::wstring& path,
                                              RelocationJournal& out);
// Deletes the journal; a journal that is already gone counts as removed.
[[nodiscard]] ErrorCode ClearRelocationJournal(FileSystem& fs, const std::wstring& path);

}  // namespace tessaly
