#include "platform/libsecret_secret_store.h"

#include <libsecret/secret.h>

namespace corvanta::platform {
namespace {

const SecretSchema* schema() {
    // DONT_MATCH_NAME: items are found by their attributes alone, like keychain items.
    static const SecretSchema kSchema = {
        "com.corvanta.Secret",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &kSchema;
}

struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct PasswordDeleter {
    void operator()(gchar* password) const { secret_password_free(password); }
};
using PasswordPtr = std::unique_ptr<gchar, PasswordDeleter>;

}  // namespace

LibsecretSecretStore::LibsecretSecretStore(std::string service) : service_(std::move(service)) {}

std::unique_ptr<LibsecretSecretStore> LibsecretSecretStore::open(const std::string& service) {
    auto store = std::make_unique<LibsecretSecretStore>(service);
    if (!store->answers()) {
        return nullptr;
    }
    return store;
}

bool LibsecretSecretStore::answers() {
    GError* raw = nullptr;
    PasswordPtr password(secret_password_lookup_sync(
        schema(), nullptr, &raw, "service", service_.c_str(), "account", "probe", nullptr));
    ErrorPtr error(raw);
    return error == nullptr;
}

std::optional<std::string> LibsecretSecretStore::read(const std::string& account) {
    GError* raw = nullptr;
    PasswordPtr password(secret_password_lookup_sync(
        schema(), nullptr, &raw, "service", service_.c_str(), "account", account.c_str(), nullptr));
    ErrorPtr error(raw);
    if (error || !password) {
        return std::nullopt;
    }
    return std::string(password.get());
}

bool LibsecretSecretStore::write(const std::string& account, const std::string& text) {
    const std::string label = service_ + " " + account;
    GError* raw = nullptr;
    const gboolean stored = secret_password_store_sync(
        schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), text.c_str(), nullptr, &raw, "service",
        service_.c_str(), "account", account.c_str(), nullptr);
    ErrorPtr error(raw);
    return stored && !error;
}

void LibsecretSecretStore::remove(const std::string& account) {
    GError* raw = nullptr;
    secret_password_clear_sync(schema(), nullptr, &raw, "service", service_.c_str(), "account",
                               account.c_str(), nullptr);
    ErrorPtr error(raw);
}

}  // namespace corvanta::platform
