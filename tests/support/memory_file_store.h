// An in-memory FileStore for core tests, with failures on demand.
#pragma once

#include <map>
#include <set>
#include <string>

#include "common/file_store.h"

class MemoryFileStore : public FileStore {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> readOnly;
    std::set<std::string> folders;  // paths that exist as folders
    WriteError failNextWrites = WriteError::None;
    int writeCount = 0;

    ReadResult ReadOrCreate(const std::string& path) override {
        const auto [it, created] = files.try_emplace(path);
        return {ReadError::None, 0, created, it->second};
    }

    WriteResult Replace(const std::string& path, const std::string& bytes, bool setReadOnly) override {
        ++writeCount;
        if (failNextWrites != WriteError::None) return {failNextWrites, 5};
        files[path] = bytes;
        if (setReadOnly) readOnly.insert(path);
        return {};
    }

    bool Exists(const std::string& path) override { return files.count(path) > 0 || folders.count(path) > 0; }
};
