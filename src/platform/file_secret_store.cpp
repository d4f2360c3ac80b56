#include "platform/file_secret_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include <QString>

#include "platform/private_directory.h"

namespace corvanta::platform {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

FileSecretStore::FileSecretStore(std::string path, std::string service)
    : path_(std::move(path)), service_(std::move(service)) {}

std::string FileSecretStore::load() {
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        return {};
    }
    // A file left with wider permissions (restored from a backup, say) is tightened on sight.
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0 && (info.st_mode & 0077) != 0) {
        ::chmod(path_.c_str(), 0600);
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

bool FileSecretStore::save(const std::string& contents) {
    const std::filesystem::path target(path_);
    if (target.has_parent_path() &&
        !makePrivateDirectory(QString::fromStdString(target.parent_path().string()))) {
        return false;
    }
    // Created 0600 from the start: the secret is never readable by others, not even briefly.
    const std::string temp = path_ + ".tmp";
    ::unlink(temp.c_str());
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        return false;
    }
    if (!writeAll(fd.get(), contents) || ::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> FileSecretStore::read(const std::string& account) {
    std::lock_guard lock(mutex_);
    const auto doc = nlohmann::json::parse(load(), nullptr, false);
    if (!doc.is_object()) {
        return std::nullopt;
    }
    const auto service = doc.find(service_);
    if (service == doc.end() || !service->is_object()) {
        return std::nullopt;
    }
    const auto item = service->find(account);
    if (item == service->end() || !item->is_string()) {
        return std::nullopt;
    }
    return item->get<std::string>();
}

bool FileSecretStore::write(const std::string& account, const std::string& text) {
    std::lock_guard lock(mutex_);
    auto doc = nlohmann::json::parse(load(), nullptr, false);
    if (!doc.is_object()) {
        doc = nlohmann::json::object();
    }
    if (!doc[service_].is_object()) {
        doc[service_] = nlohmann::json::object();
    }
    doc[service_][account] = text;
    // Invalid UTF-8 cannot be serialised; such a text is refused rather than mangled.
    try {
        return save(doc.dump(2));
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

std::map<std::string, std::string> FileSecretStore::items() {
    std::lock_guard lock(mutex_);
    std::map<std::string, std::string> out;
    const auto doc = nlohmann::json::parse(load(), nullptr, false);
    if (!doc.is_object()) {
        return out;
    }
    const auto service = doc.find(service_);
    if (service == doc.end() || !service->is_object()) {
        return out;
    }
    for (auto it = service->begin(); it != service->end(); ++it) {
        if (it->is_string()) {
            out.emplace(it.key(), it->get<std::string>());
        }
    }
    return out;
}

void FileSecretStore::erase() {
    std::lock_guard lock(mutex_);
    auto doc = nlohmann::json::parse(load(), nullptr, false);
    if (doc.is_object()) {
        doc.erase(service_);
    }
    if (!doc.is_object() || doc.empty()) {
        ::unlink(path_.c_str());
        return;
    }
    save(doc.dump(2));
}

void FileSecretStore::remove(const std::string& account) {
    std::lock_guard lock(mutex_);
    auto doc = nlohmann::json::parse(load(), nullptr, false);
    if (!doc.is_object() || !doc.contains(service_) || !doc[service_].is_object()) {
        return;
    }
    if (doc[service_].erase(account) > 0) {
        save(doc.dump(2));
    }
}

}  // namespace corvanta::platform
