// Where the program's databases lie: the program folder, the path of a
// catalogue entry's file, and the entry a file's name gives.
#pragma once

#include <cstddef>

// The program folder with its final '/'; false when it does not fit 260 units.
bool programFolder(char16_t* path);

// Builds programFolder + name + ".tsq"; false when it does not fit 260 units.
bool databasePath(const char16_t* name, char16_t* path);

// Appends text to path (room units in all); false when it does not fit.
bool appendPath(char16_t* path, std::size_t room, const char16_t* text);

// The catalogue entry of a file: its name without the last extension.
void entryName(const char16_t* found, char16_t* entry, std::size_t room);

// The extension of database files.
inline constexpr char16_t databaseExtension[] = u".tsq";
