#pragma once
// Internal: what every host object handed to the add-in shares: one small object per reference
// handed out (as the host's proxies are), counted in the ledger while it lives, each call logged
// and open to injected failures; and how one file's objects make another's.
#include <memory>
#include <string>
#include <string_view>

#include "addin/core/host/Explorer.h"
#include "standin/model/World.h"

namespace standin {

/// What a call on an object the add-in or the user deleted fails with.
inline HostError Gone(std::string_view what) {
    return HostError(HostStatus::Fail, u"The " + std::u16string(what.begin(), what.end()) + u" has been deleted.");
}

/// What two handles compare by: the node they stand for and the interface they present.
class Identity {
public:
    virtual ~Identity() = default;
    virtual const void* Node() const = 0;
    virtual const char* Kind() const = 0;
    virtual std::shared_ptr<void> SharedNode() const = 0;
};

template <class Interface, class NodeT>
class Handle : public Interface, public Identity {
public:
    Handle(std::shared_ptr<World> world, std::shared_ptr<NodeT> node, const char* kind)
        : world_(std::move(world)), node_(std::move(node)), kind_(kind) {
        world_->ledger.Acquire(kind_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() override { world_->ledger.Release(kind_); }

    bool SameObject(const host::Object& other) const override {
        const auto* id = dynamic_cast<const Identity*>(&other);
        return id && id->Node() == Node() && std::string_view(id->Kind()) == kind_;
    }
    const void* Node() const override { return node_.get(); }
    const char* Kind() const override { return kind_; }
    std::shared_ptr<void> SharedNode() const override { return node_; }

protected:
    void Enter(std::string_view member) const { world_->ledger.Enter(member); }
    /// For a member that returns an object, after Enter: whether Nothing is returned instead.
    bool Nothing(std::string_view member) const { return world_->ledger.Nothing(member); }

    std::shared_ptr<World> world_;
    std::shared_ptr<NodeT> node_;
    const char* kind_;
};

std::shared_ptr<host::CommandBars> MakeCommandBars(const std::shared_ptr<World>& world,
                                                   const std::shared_ptr<BarSet>& node);
/// An attachment of `item`.
std::shared_ptr<host::Attachment> MakeAttachment(const std::shared_ptr<World>& world,
                                                 const std::shared_ptr<AttachmentNode>& node,
                                                 const std::shared_ptr<ItemNode>& item);

}  // namespace standin
