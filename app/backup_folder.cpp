#include "app/backup_folder.h"

#include <string>
#include <sys/stat.h>

#include "app/messages.h"
#include "app/startup.h"

void ensureDefaultBackupFolder() {
    const Text folder = workingDirectory() + u"reserve/";
    std::string path = textToUtf8(folder);
    while (!path.empty() && (path.back() == '/' || path.back() == ' ' || path.back() == '\\')) path.pop_back();
    struct stat info;
    // Whatever is there already (a folder, a file, a link) is left alone.
    if (::lstat(path.c_str(), &info) == 0) return;
    if (::mkdir(path.c_str(), 0777) != 0) showError(0, folder);
}

