#pragma once

#include <QString>

namespace corvanta::update {

// Where the running application's version comes from.
class AppVersionSource {
public:
    virtual ~AppVersionSource() = default;
    virtual QString currentVersion() const = 0;
};

}  // namespace corvanta::update
