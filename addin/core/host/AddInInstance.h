#pragma once
// The host's object that stands for one loaded add-in.
#include <string>

#include "addin/core/host/Object.h"

namespace host {

/// The add-in instance object the host passes at connection.
class AddInInstance : public Object {
public:
    /// The programmatic identifier under which the host loaded the add-in (read by name).
    virtual std::u16string ProgId() = 0;
};

}  // namespace host
