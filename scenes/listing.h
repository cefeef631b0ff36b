// Typed assembly listing: the listing typed over meshListA, 48-52 s.
#pragma once

constexpr int kAssemblyLines = 30;
constexpr int kAssemblyCountedLines = 20;  // only these are typed; the rest never show
extern const char* const assemblyListing[kAssemblyLines];
