// Version numbers: major in bits 8-15, minor in bits 4-7, patch in bits 0-3.
#pragma once

constexpr int kLibraryVersion = 0x0350;  // 3.5.0
constexpr int kLibraryBuild = 8;
constexpr int kSocketLayerVersion = 0x0105;  // 1.0.5
constexpr int kSocketLayerBuild = 1;
