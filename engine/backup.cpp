#include "engine/backup.h"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

#include "core/app_state.h"
#include "core/startup.h"
#include "engine/file_rewrite.h"
#include "engine/messages.h"
#include "engine/regex.h"
#include "settings/languages.h"
#include "ui/toolkit/toolkit.h"

namespace {

// Every folder name of a relative path: each run of characters that starts at the
// beginning or after a "/" and is followed by a "/".
const Text folderSplittingPattern = u"(?:^|(?<=/)).*?(?=/)";

}  // namespace

void ensureDefaultBackupFolder() {
    const Text folder = workingDirectory() + u"reserve/";
    std::string path = textToUtf8(folder);
    while (!path.empty() && (path.back() == '/' || path.back() == ' ' || path.back() == '\\')) path.pop_back();
    struct stat info;
    // Whatever is there already (a folder, a file, a link) is left alone.
    if (::lstat(path.c_str(), &info) == 0) return;
    if (::mkdir(path.c_str(), 0777) != 0) showError(0, folder);
}

bool makeBackup(const Text& root, const Text& relative, const Text& backup) {
    const std::string from = textToUtf8(root + relative);
    const std::string to = textToUtf8(backup + relative);
    if (copyFileSafely(from, to)) return true;
    if (!compilePattern(pathSplitter, folderSplittingPattern, 0)) {
        tk::messageBox(text("err"), compileError());
        return false;
    }
    std::vector<Text> names;
    if (extractAll(pathSplitter, relative, names) == 0) return false;
    Text below;
    for (const Text& name : names) {
        below += name + u"/";
        // A folder that exists already is fine; any other failure shows in the copy.
        ::mkdir(textToUtf8(backup + below).c_str(), 0777);
    }
    return copyFileSafely(from, to);
}
