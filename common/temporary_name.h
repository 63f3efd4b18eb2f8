// The names of the temporaries that a replacement writes beside its target:
// "<target>.tmp<process id>-<counter>". The writer's process id and counter in
// the name let a later reader or writer tell a temporary whose writer died.
#pragma once

#include <optional>
#include <string>

namespace temporary_name {

// What follows the target's file name: ".tmp<process id>-<counter>".
std::string Suffix(unsigned long processId, unsigned long counter);

struct Writer {
    unsigned long processId = 0;
    unsigned long counter = 0;
};

// The writer named by a suffix of exactly that shape (each number 1 to 10
// digits, within 32 bits; the mark in any case); nothing for any other text.
std::optional<Writer> ParseSuffix(const std::string& suffix);

}  // namespace temporary_name
