// The move that the relocation engine's and the interrupted-relocation tests share: a library of
// three files in two levels, where the engine renames it, where it copies it, and where the
// journal of a move in progress lives (the program's folder in the fake user's local application
// data).
#pragma once

#include <map>
#include <string>

namespace tessaly::testing {

inline constexpr const wchar_t* kSource = L"C:\\Samples\\Strings";
inline constexpr const wchar_t* kRenamed = L"C:\\Samples\\Strings.orig0";
inline constexpr const wchar_t* kTarget = L"D:\\Content\\Strings";
inline constexpr const wchar_t* kJournal =
    L"C:\\Users\\Musician\\AppData\\Local\\Quillmoor\\Tessaly\\Relocation in progress.txt";
// Where earlier versions kept it.
inline constexpr const wchar_t* kEarlierJournal =
    L"C:\\Users\\Musician\\Documents\\Quillmoor\\Tessaly Documents\\Relocation in progress.txt";

// The files of the source, relative, with their bytes.
inline const std::map<std::wstring, std::string> kFiles = {
    {L"\\a.wav", "violins"},
    {L"\\sub\\b.wav", "violas"},
    {L"\\sub\\deep\\c.nki", "cellos and basses"},
};

}  // namespace tessaly::testing
