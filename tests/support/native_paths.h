// The separator between a folder and a name in the paths the system itself
// hands out (GetTempPathA, GetTempFileNameA, GetModuleFileNameA …), for
// tests that compare such paths with their own.
#pragma once

namespace tarn::test {

#ifdef _WIN32
inline constexpr char kSeparator[] = "\\";
#else
inline constexpr char kSeparator[] = "/";
#endif

}  // namespace tarn::test
