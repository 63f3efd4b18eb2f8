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
        if (failNextReads != ReadError::None) return {failNextReads, 32, false, {}};
        const auto [it, created] = files.try_emplace(path);
        return {ReadError::None, 0, created, it->second};
    }

    ReadResult Read(const std::string& path) override {
        if (failNextReads != ReadError::None) return {failNextReads, 32, false, {}};
        const auto it = files.find(path);
        if (it == files.end()) return {ReadError::None, 0, true, {}};
        return {ReadError::None, 0, false, it->second};
    }

    WriteResult Replace(const std::string& path, const std::string& bytes, bool setReadOnly) override {
        ++writeCount;
        if (failNextWrites != WriteError::None) return {failNextWrites, 5};
        files[path] = bytes;
        if (setReadOnly) readOnly.insert(path);
        return {};
    }

    std::set<std::string> unreachable;  // paths whose lookup cannot answer
    ReadError failNextReads = ReadError::None;

    Presence Lookup(const std::string& path) override {
        if (unreachable.count(path) > 0) return Presence::Unknown;
        return files.count(path) > 0 || folders.count(path) > 0 ? Presence::Present : Presence::Missing;
    }
};
