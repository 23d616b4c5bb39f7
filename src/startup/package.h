// The package appended to the executable, and its extraction.
#pragma once

#include <cstdint>

#include "platform/win32.h"

constexpr DWORD COPY_CHUNK_BYTES = 65536;

// Extracts every entry of the package at the end of the running executable
// into the temporary folder; nonzero on success.
int ExtractPackage();
// The same extraction from the package file at `packagePath`.
int ExtractPackageFrom(const char* packagePath);
// Copies `size` bytes from the current position of `source` to `destination`.
int CopyBytes(HANDLE destination, HANDLE source, int32_t size);
