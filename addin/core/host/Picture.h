#pragma once
// A picture object (a bitmap the platform loaded) that can be handed to a command-bar button.

namespace host {

/// A picture object. Made by the platform, passed to the host as a button's Picture or Mask.
class Picture {
public:
    virtual ~Picture() = default;
};

}  // namespace host
