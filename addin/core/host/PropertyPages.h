#pragma once
// The pages of the host's Options dialog.
#include <optional>
#include <string>

#include "addin/core/host/Object.h"

namespace host {

/// The pages being collected for the host's Options dialog.
class PropertyPages : public Object {
public:
    /// Adds the page control with the programmatic identifier `page`, under `title`.
    virtual void Add(const std::u16string& page, std::optional<std::u16string> title = {}) = 0;
};

}  // namespace host
