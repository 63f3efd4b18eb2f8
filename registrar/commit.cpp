#include "registrar/commit.h"

#include <map>
#include <set>
#include <utility>

#include "registrar/registration_names.h"

namespace registrar {
namespace {

using LineCounts = std::map<std::pair<std::string, std::string>, long>;

std::pair<std::string, std::string> LineOf(const Entry& entry) { return {entry.folderText, entry.nameField}; }

void Count(LineCounts& counts, const std::vector<Entry>& entries, long step) {
    for (const Entry& entry : entries) counts[LineOf(entry)] += step;
}

// Takes each entry of `entries`, in order, while its line has copies left.
void TakeWhileCounted(LineCounts& wanted, const std::vector<Entry>& entries, std::vector<Entry>& merged) {
    for (const Entry& entry : entries) {
        long& left = wanted[LineOf(entry)];
        if (left <= 0) continue;
        --left;
        merged.push_back(entry);
    }
}

// The launcher cannot start on a line whose path has no backslash: such
// lines are never written back.
std::vector<std::string> LeaveOutLinesWithoutFolder(std::vector<Entry>& entries) {
    std::vector<std::string> left;
    std::vector<Entry> kept;
    kept.reserve(entries.size());
    for (Entry& entry : entries) {
        if (entry.folderText.empty()) {
            left.push_back(entry.nameField);
        } else {
            kept.push_back(std::move(entry));
        }
    }
    entries = std::move(kept);
    return left;
}

}  // namespace

std::vector<Entry> MergeChanges(const std::optional<std::vector<Entry>>& baseline, const std::vector<Entry>& listed,
                                const std::vector<Entry>& current) {
    LineCounts wanted;
    Count(wanted, current, +1);
    Count(wanted, listed, +1);
    if (baseline) Count(wanted, *baseline, -1);
    std::vector<Entry> merged;
    merged.reserve(current.size() + listed.size());
    const std::vector<Entry>& first = baseline ? listed : current;
    const std::vector<Entry>& second = baseline ? current : listed;
    TakeWhileCounted(wanted, first, merged);
    TakeWhileCounted(wanted, second, merged);
    return merged;
}

FileForMerge TakeForMerge(const ReadResult& read, const std::optional<std::vector<Entry>>& baseline) {
    FileForMerge file;
    if (read.missing) {
        if (baseline) file.entries = *baseline;
        file.unmerged = !file.entries.empty();
        return file;
    }
    RegistrationList list = ReadRegistrationList(read.bytes);
    file.entries = std::move(list.entries);
    file.unreadable = std::move(list.unreadable);
    file.unmerged = !file.unreadable.empty();
    // A file that is no whole list says nothing about what was deleted: what
    // it holds readably counts, and so does every entry of the baseline it
    // lacks (as many copies as the baseline has).
    if (file.unmerged && baseline) {
        LineCounts inFile;
        Count(inFile, file.entries, +1);
        for (const Entry& entry : *baseline) {
            long& copies = inFile[LineOf(entry)];
            if (copies > 0) {
                --copies;
            } else {
                file.entries.push_back(entry);
            }
        }
    }
    return file;
}

CommitResult CommitEntries(FileStore& store, const std::string& path, const std::vector<Entry>& baseline,
                           const std::vector<Entry>& listed, const std::function<void(int percent)>& progress) {
    CommitResult result;
    result.listed = listed;
    result.baseline = baseline;
    // A file looked up once is not looked up again for another attempt: on a
    // share each lookup can take seconds.
    std::map<std::string, Presence> presence;
    const auto lookup = [&store, &presence](const std::string& file) {
        const auto found = presence.find(file);
        return found != presence.end() ? found->second : presence.emplace(file, store.Lookup(file)).first->second;
    };
    const std::optional<std::vector<Entry>> windowBaseline(baseline);
    while (true) {
        ++result.attempts;
        result.read = store.Read(path);
        if (!result.read.ok()) {
            result.status = CommitStatus::Unreadable;
            return result;
        }
        FileForMerge file = TakeForMerge(result.read, windowBaseline);
        result.unmerged = file.unmerged;
        result.unreadable = std::move(file.unreadable);
        result.baseline = std::move(file.entries);
        result.listed = MergeChanges(windowBaseline, listed, result.baseline);

        std::vector<Entry> entries = result.listed;
        result.withoutFolder = LeaveOutLinesWithoutFolder(entries);
        result.refused = RefuseInvalidNames(entries);
        result.ordered = OrderEntries(std::move(entries), lookup, progress);
        if (result.ordered.entries.size() > static_cast<std::size_t>(kMaxEntries)) {
            result.status = CommitStatus::OverLimit;
            return result;
        }
        result.write = store.ReplaceIfUnchanged(path, BuildRegistrationText(result.ordered.entries),
                                                /*readOnly=*/true, result.read);
        if (result.write.error != WriteError::Changed) break;
        if (result.attempts == kCommitAttempts) {
            result.status = CommitStatus::KeptChanging;
            return result;
        }
    }
    result.status = result.write.ok() ? CommitStatus::Written : CommitStatus::WriteFailed;
    if (result.written()) {
        // Text that was no entry but is a line written now is no loss to tell of.
        std::set<std::string> written;
        for (const Entry& entry : result.ordered.entries) written.insert(entry.folderText + entry.nameField);
        std::vector<std::string> left;
        for (std::string& piece : result.unreadable) {
            if (written.count(piece) == 0) left.push_back(std::move(piece));
        }
        result.unreadable = std::move(left);
    }
    return result;
}

}  // namespace registrar
