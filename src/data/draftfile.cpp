#include "draftfile.h"

#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

std::string createDraftFile(const std::string& path, const std::string& script)
{
    if (::access(path.c_str(), F_OK) == 0) {
        return path + ": already exists";
    }
    const std::string temporary = path + ".new-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());

    std::string error;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "out of memory";
    } else {
        char* message = nullptr;
        // One transaction: the script lands whole or not at all.
        const std::string wrapped = "BEGIN;\n" + script + "\n;COMMIT;";
        if (sqlite3_exec(db, wrapped.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            error = message ? message : sqlite3_errmsg(db);
            sqlite3_free(message);
        }
    }
    if (sqlite3_close(db) != SQLITE_OK && error.empty()) {
        error = "cannot close the new database";
    }
    // The roster is private: the new file is its owner's only.
    if (error.empty() && ::chmod(temporary.c_str(), S_IRUSR | S_IWUSR) != 0) {
        error = temporary + ": " + std::strerror(errno);
    }
    if (error.empty() && ::link(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
    }
    ::unlink(temporary.c_str());
    ::unlink((temporary + "-journal").c_str());
    return error;
}
