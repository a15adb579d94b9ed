// kantor-cli voice ...: the voice library (list, info, import, export, delete) and the
// voice data maker's build and automatic markers, on the voice folder of the
// environment (KANTOR_VOICE_DIR and friends) or the one given with --voice-dir.
#include <ostream>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/PrintableText.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "import/BankImporter.h"
#include "platform/BuiltinData.h"
#include "platform/Folders.h"
#include "platform/StderrPrompt.h"
#include "song/LyricList.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceLibrary.h"
#include "voicemaker/AutoMarker.h"
#include "voicemaker/VoiceBuilder.h"
#include "voicemaker/VoiceProject.h"

namespace kantor::cli {
namespace {

// The user's voice folder and the folders of the built-in voices, which are read in place.
struct VoiceFolders {
    std::string folder;
    std::vector<std::string> shared;
    VoiceBank bank() const {
        VoiceBank b(folder);
        b.setSharedFolders(shared);
        return b;
    }
};

VoiceFolders voiceFoldersOf(const VoiceArgs& o) {
    FolderOverrides overrides;
    overrides.voiceDir = o.voiceDir;
    Folders folders = Folders::fromEnvironment(overrides);
    return {folders.voiceFolder(), builtinVoiceFolders(folders)};
}

bool ensureFolder(const std::string& folder, std::ostream& err) {
    std::string error;
    if (makeFolders(folder, &error)) return true;
    err << "voice: " << folder << ": " << error << "\n";
    return false;
}

int list(const VoiceFolders& folders, std::ostream& out, std::ostream& err) {
    VoiceBank bank = folders.bank();
    if (!bank.enumerateVoiceFiles()) {
        err << "voice list: " << translated(bank.lastError()) << "\n";
        return 1;
    }
    // Files that cannot be listed are skipped, one warning each naming the file.
    std::size_t from = 0;
    const std::string& skipped = bank.lastError();
    while (from < skipped.size()) {
        std::size_t end = skipped.find('\n', from);
        if (end == std::string::npos) end = skipped.size();
        err << "voice list: skipped " << printableText(translated(skipped.substr(from, end - from)), 1000) << "\n";
        from = end + 1;
    }
    for (int i = 0; i < bank.voiceFileCount(); ++i) {
        std::string title = bank.voiceFileTitle(i);
        // The names and descriptions come from the voice files (and through a bank's
        // character.txt from anywhere): shown escaped, one voice a line.
        out << printableText(title) << "\t" << printableText(bank.voiceFileVoiceName(i)) << "\t"
            << printableText(bank.voiceFileDescription(i)) << (isBuiltInVoice(title) ? "\t(built-in)" : "") << "\n";
    }
    return 0;
}

// A voice name given with --name: one line of text the voice file can hold as it is (the
// file keeps names in Shift-JIS, where an emoji would become "?").
bool checkVoiceName(const std::string& name, std::ostream& err) {
    if (hasUnprintable(name)) {
        err << "voice import-bank: --name " << printableText(name)
            << ": a voice name is one line without control characters\n";
        return false;
    }
    bool exact = true;
    utf8ToCp932(name, &exact);
    if (!exact) {
        err << "voice import-bank: --name " << name
            << ": a voice name holds only characters a voice file can store (Shift-JIS); this one holds "
            << lyricUnwritableCharacter(name) << "\n";
        return false;
    }
    return true;
}

// A voice named on the command line: its identifier, or its name when one voice has it.
bool namedVoice(const VoiceFolders& folders, const std::string& what, std::string& name, std::ostream& err) {
    VoiceBank bank = folders.bank();
    bank.enumerateVoiceFiles();
    std::string id, error;
    if (findVoiceByName(bank, name, id, error)) {
        name = id;
        return true;
    }
    // Not an identifier of the list: a name that is not a file identifier at all is left to
    // the command's own check, and a voice file the list skipped to the command's reader.
    if (!isValidVoiceIdentifier(name) || fileExists(bank.voiceFilePath(name))) return true;
    err << what << ": " << translated(error) << "\n";
    return false;
}

int outcomeStatus(Outcome o, const std::string& what, const LastError& source, std::ostream& err) {
    if (o == Outcome::Done) return 0;
    if (o == Outcome::Cancelled) {
        err << what << ": nothing done\n";
        return 1;
    }
    err << what << ": " << translated(source.lastError()) << "\n";
    return 1;
}

}  // namespace

int voice(const VoiceArgs& o, std::ostream& out, std::ostream& err) {
    const std::string& cmd = o.command;
    const Args& ops = o.operands;
    const VoiceFolders folders = voiceFoldersOf(o);
    const std::string& folder = folders.folder;

    if (cmd == "list" && ops.empty()) return list(folders, out, err);
    if (cmd == "info" && ops.size() == 1) {
        std::string id = ops[0];
        if (!namedVoice(folders, "voice info", id, err)) return 1;
        if (!isValidVoiceIdentifier(id)) {
            err << "voice info: not a voice identifier: " << id << "\n";
            return 2;
        }
        return infoVoice(folders.bank().voiceFilePath(id), o.json, out, err);
    }
    if (cmd == "import" && ops.size() == 1) {
        if (!hasVoiceFileExtension(ops[0])) {
            err << "voice import: the file must end in .vxb\n";
            return 2;
        }
        if (!ensureFolder(folder, err)) return 1;
        VoiceLibrary library(folder);
        std::string id;
        int status = outcomeStatus(library.importVoice(ops[0], id), "voice import", library, err);
        if (status == 0) out << id << "\n";
        return status;
    }
    if (cmd == "export" && ops.size() == 2) {
        if (!hasVoiceFileExtension(ops[1])) {
            err << "voice export: the target must end in .vxb\n";
            return 2;
        }
        StderrPrompt prompt(o.force ? PromptAnswer::Yes : PromptAnswer::No);
        VoiceLibrary library(folder, &prompt);
        std::string id = ops[0];
        if (!namedVoice(folders, "voice export", id, err)) return 1;
        Outcome result = library.exportVoice(id, ops[1], true);
        if (result == Outcome::Cancelled) {
            err << "voice export: " << ops[1] << " exists (use --force to replace it)\n";
            return 1;
        }
        return outcomeStatus(result, "voice export", library, err);
    }
    if (cmd == "delete" && ops.size() == 1) {
        VoiceLibrary library(folder);
        std::string id = ops[0];
        if (!namedVoice(folders, "voice delete", id, err)) return 1;
        if (!library.deleteVoice(id)) {
            err << "voice delete: " << translated(library.lastError()) << "\n";
            return 1;
        }
        return 0;
    }
    if (cmd == "build" && ops.size() == 1) {
        VoiceProject project;
        if (!project.load(ops[0])) {
            err << ops[0] << ": " << translated(project.lastError()) << "\n";
            return 1;
        }
        if (!ensureFolder(folder, err)) return 1;
        if (!o.replace.empty() && VoiceLibrary(folder).isBuiltInVoicePath(joinPath(folder, o.replace + ".vxb"))) {
            err << "voice build: " << o.replace << " is a built-in voice and cannot be replaced\n";
            return 1;
        }
        // --replace names a voice that is there; a new voice is built without it.
        if (!o.replace.empty() && !fileExists(joinPath(folder, o.replace + ".vxb"))) {
            err << "voice build: there is no voice " << o.replace << " in " << folder
                << " to replace (leave out --replace to add a new voice)\n";
            return 1;
        }
        VoiceBank bank = folders.bank();
        VoiceBuilder builder;
        std::string id;
        if (!builder.build(project, folder, o.replace, id, &bank)) {
            err << "voice build: " << translated(builder.lastError()) << "\n";
            return 1;
        }
        out << id << "\n";
        return 0;
    }
    if (cmd == "automark" && ops.size() == 1) {
        VoiceProject project;
        if (!project.load(ops[0])) {
            err << ops[0] << ": " << translated(project.lastError()) << "\n";
            return 1;
        }
        std::vector<std::string> problems;
        int marked = autoMarkAll(project, !o.keep, &problems);
        for (const std::string& p : problems) err << translated(p) << "\n";
        if (marked > 0 && !project.save(ops[0])) {
            err << ops[0] << ": " << translated(project.lastError()) << "\n";
            return 1;
        }
        out << "marked " << marked << " item" << (marked == 1 ? "" : "s") << "\n";
        return problems.empty() ? 0 : 1;
    }
    if (cmd == "import-bank" && ops.size() == 1) {
        if (!checkVoiceName(o.name, err)) return 2;
        BankImporter importer;
        BankSummary summary;
        // On failure the lines that were skipped are listed too: they tell why nothing was usable.
        auto failed = [&]() {
            err << "voice import-bank: " << translated(importer.lastError()) << "\n";
            if (summary.lines > 0 || !summary.skipped.empty()) err << printableLines(summary.text());
            return 1;
        };
        if (!o.project.empty()) {
            if (!importer.importProject(ops[0], o.name, o.project, summary, {}, o.force)) return failed();
            out << printableLines(summary.text()) << "project: " << o.project << "\n";
            return 0;
        }
        if (!ensureFolder(folder, err)) return 1;
        std::string id;
        if (!importer.importVoice(ops[0], o.name, folder, id, summary)) return failed();
        out << printableLines(summary.text()) << "voice: " << id << "\n";
        return 0;
    }
    err << "voice: unknown command " << cmd << "\n";
    return 2;
}

}  // namespace kantor::cli
