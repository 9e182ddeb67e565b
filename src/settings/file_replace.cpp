#include "settings/file_replace.h"

namespace kvr::ini {

namespace {

// Rewrites the file where it is. The old bytes are read first; the new ones are written over
// them from the start, and the file is cut only once they are all there. If anything fails,
// the old bytes go back into the space they occupied and the file gets its old length again.
void rewrite_in_place(const FileSteps& steps, const std::string& target,
                      const ContentProducer& produce) {
    const std::string old_contents = steps.read_all(target);
    const std::unique_ptr<FileWriter> file = steps.open_existing(target);
    try {
        std::uint64_t written = 0;
        produce([&](std::string_view chunk) {
            file->write(chunk);
            written += chunk.size();
        });
        file->resize(written);
        file->flush();
    } catch (...) {
        try {
            file->rewind();
            file->write(old_contents);
            file->resize(old_contents.size());
            file->flush();
        } catch (...) {
            // the first failure is the one to report
        }
        throw;
    }
}

void write_through(FileWriter& file, const ContentProducer& produce) {
    produce([&file](std::string_view chunk) {
        if (!chunk.empty()) file.write(chunk);
    });
    file.flush();
}

} // namespace

void ReplaceFileContents(const FileSteps& steps, const std::string& path,
                         const ContentProducer& produce) {
    const std::string target = steps.final_path(path);
    const FileFacts facts = steps.facts(target);
    if (facts.is_folder) throw EFCreateError(path, "A folder has this name.");
    if (facts.read_only) throw EFCreateError(path, "The file is read-only.", true);
    if (facts.exists && facts.names > 1) return rewrite_in_place(steps, target, produce);

    std::string temporary;
    std::unique_ptr<FileWriter> file;
    try {
        file = steps.create_beside(target, temporary);
    } catch (const EFCreateError& error) {
        if (error.denied() && facts.exists) return rewrite_in_place(steps, target, produce);
        throw;
    }
    try {
        write_through(*file, produce);
        file.reset();
        if (facts.exists) steps.copy_identity(target, temporary);
        steps.replace(temporary, target, facts.exists);
    } catch (...) {
        file.reset();
        steps.remove(temporary);
        throw;
    }
}

} // namespace kvr::ini
