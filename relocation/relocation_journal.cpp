// The relocation journal: its place, its text and its file.
#include "relocation/relocation_journal.h"

#include "platform/file_ops.h"
#include "platform/text.h"
#include "registry_archive/first_run_backups.h"

namespace tessaly {
namespace {

constexpr std::wstring_view kHeading = L"Tessaly relocation in progress";
constexpr std::wstring_view kSourceField = L"Original Location";
constexpr std::wstring_view kRenamedField = L"Renamed folder";
constexpr std::wstring_view kTargetField = L"Full Target Path";
constexpr std::wstring_view kModeField = L"Mode";
constexpr std::wstring_view kCompareField = L"Compare contents";
// MOVEFILE_WRITE_THROUGH: the rename is on the disk when the call returns.
constexpr uint32_t kMoveWriteThrough = 0x8;
// A journal is a few lines; anything much longer is not one.
constexpr size_t kMostJournalBytes = 64 * 1024;

// "(source).orig<n>" with n of one to three digits, as the engine names the renamed folder.
bool IsRenamedFormOf(std::wstring_view renamed, std::wstring_view source) {
  const std::wstring_view suffix = L".orig";
  if (renamed.size() <= source.size() + suffix.size()) return false;
  if (!EqualsNoCase(renamed.substr(0, source.size()), source)) return false;
  if (!EqualsNoCase(renamed.substr(source.size(), suffix.size()), suffix)) return false;
  const std::wstring_view number = renamed.substr(source.size() + suffix.size());
  if (number.size() > 3) return false;
  for (wchar_t c : number) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

}  // namespace

ErrorCode GetRelocationJournalPath(FileSystem& fs, System& system, std::wstring& out) {
  std::wstring folder;
  if (system.GetSpecialFolder(csidl::LocalAppData | csidl::FlagCreate, folder) != err::Success ||
      folder.empty() || !path::Append(folder, L"Quillmoor\\Tessaly", kPathCapacity)) {
    return err::InternalError;
  }
  if (const ErrorCode made = CreateDirectoryTree(fs, folder); made != err::Success) return made;
  out = folder + L"\\" + kRelocationJournalName;
  return err::Success;
}

ErrorCode GetEarlierRelocationJournalPath(FileSystem& fs, System& system, std::wstring& out) {
  std::wstring folder;
  if (const ErrorCode found = GetBackupFolder(fs, system, folder); found != err::Success) {
    return found;
  }
  out = folder + L"\\" + kRelocationJournalName;
  return err::Success;
}

ErrorCode FindRelocationJournal(FileSystem& fs, System& system, std::wstring& out) {
  std::wstring current, earlier;
  if (GetRelocationJournalPath(fs, system, current) == err::Success && PathExists(fs, current)) {
    out = current;
    return err::Success;
  }
  if (GetEarlierRelocationJournalPath(fs, system, earlier) == err::Success &&
      PathExists(fs, earlier)) {
    out = earlier;
    return err::Success;
  }
  return err::FileNotFound;
}

std::wstring FormatRelocationJournal(const RelocationJournal& journal) {
  std::wstring text(kHeading);
  text += L"\r\n";
  const auto line = [&text](std::wstring_view name, std::wstring_view value) {
    text.append(name).append(L"=").append(value).append(L"\r\n");
  };
  line(kSourceField, journal.source);
  line(kRenamedField, journal.renamed);
  line(kTargetField, journal.target);
  line(kModeField, L"move");
  line(kCompareField, journal.compareContents ? L"yes" : L"no");
  return text;
}

bool ParseRelocationJournal(std::wstring_view text, RelocationJournal& out) {
  RelocationJournal journal;
  bool seen[5] = {};
  bool headingSeen = false;
  while (!text.empty()) {
    const size_t end = text.find(L'\n');
    std::wstring_view line = text.substr(0, end);
    text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (!headingSeen) {
      if (line != kHeading) return false;
      headingSeen = true;
      continue;
    }
    const size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) return false;
    const std::wstring_view name = line.substr(0, equals);
    const std::wstring_view value = line.substr(equals + 1);
    int field = -1;
    if (name == kSourceField) {
      field = 0;
      journal.source = value;
    } else if (name == kRenamedField) {
      field = 1;
      journal.renamed = value;
    } else if (name == kTargetField) {
      field = 2;
      journal.target = value;
    } else if (name == kModeField) {
      // Only a move renames the source, so only a move is ever recorded.
      field = 3;
      if (value != L"move") return false;
    } else if (name == kCompareField) {
      field = 4;
      if (value != L"yes" && value != L"no") return false;
      journal.compareContents = value == L"yes";
    }
    if (field < 0 || seen[field]) return false;
    seen[field] = true;
  }
  for (bool field : seen) {
    if (!field) return false;
  }
  if (journal.source.empty() || journal.target.empty() ||
      !IsRenamedFormOf(journal.renamed, journal.source)) {
    return false;
  }
  out = std::move(journal);
  return true;
}

ErrorCode WriteRelocationJournal(FileSystem& fs, const std::wstring& path,
                                 const RelocationJournal& journal) {
  // With a byte-order mark, so that any editor reads the paths as they are.
  std::string bytes = "\xEF\xBB\xBF" + ToUtf8(FormatRelocationJournal(journal));
  // Written whole under another name and on the disk before it takes the journal's name: a
  // power cut leaves the journal as it was, never empty or cut short.
  const std::wstring temporary = path + L".new";
  ErrorCode e =
      fs.WriteFile(temporary, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (e == err::Success) {
    e = fs.FlushFile(temporary);
    if (e == err::NotSupported) e = err::Success;
  }
  if (e == err::Success) {
    e = fs.MoveFile(temporary, path, moveflags::ReplaceExisting | kMoveWriteThrough);
  }
  if (e != err::Success) fs.DeleteFile(temporary);
  return e;
}

ErrorCode ReadRelocationJournal(FileSystem& fs, const std::wstring& path, RelocationJournal& out) {
  std::vector<uint8_t> bytes;
  if (const ErrorCode read = fs.ReadFile(path, 0, kMostJournalBytes + 1, bytes);
      read != err::Success) {
    return read;
  }
  if (bytes.size() > kMostJournalBytes) return err::InvalidData;
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (!ParseRelocationJournal(FromUtf8(text), out)) return err::InvalidData;
  return err::Success;
}

ErrorCode ClearRelocationJournal(FileSystem& fs, const std::wstring& path) {
  const ErrorCode deleted = fs.DeleteFile(path);
  if (deleted == err::FileNotFound || deleted == err::PathNotFound) return err::Success;
  return deleted;
}

}  // namespace tessaly
