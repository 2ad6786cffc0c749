// Whole-file reading for the model loader and the texture loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads the file at path as raw bytes into bytes. False when it cannot be opened or read;
// error then says why (the system's message, e.g. "No such file or directory").
bool ReadFileBytes(const char* path, std::vector<uint8_t>* bytes, std::string* error);
