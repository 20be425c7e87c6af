#include "core/Component.h"

#include <algorithm>
#include <strings.h>

TComponent::TComponent(TComponent* owner) {
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent() {
    FDestroying = true;
    // Tell everyone who asked, then forget them in both directions.
    auto notifies = FFreeNotifies;
    FFreeNotifies.clear();
    for (TComponent* other : notifies) {
        auto& theirs = other->FFreeNotifies;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        other->Notification(this, true);
    }
    while (!FComponents.empty()) {
        TComponent* child = FComponents.back();
        FComponents.pop_back();
        child->FOwner = nullptr;
        delete child;
    }
    if (FOwner)
        FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (TComponent* child : FComponents)
        if (strcasecmp(child->FName.c_str(), name.c_str()) == 0)
            return child;
    return nullptr;
}

void TComponent::SetOwner(TComponent* owner) {
    if (owner == FOwner)
        return;
    if (FOwner)
        FOwner->RemoveComponent(this);
    if (owner)
        owner->InsertComponent(this);
}

void TComponent::FreeNotification(TComponent* other) {
    if (!other || other == this)
        return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), other) == FFreeNotifies.end())
        FFreeNotifies.push_back(other);
    if (std::find(other->FFreeNotifies.begin(), other->FFreeNotifies.end(), this) == other->FFreeNotifies.end())
        other->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (!other)
        return;
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), other), FFreeNotifies.end());
    auto& theirs = other->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Notification(TComponent*, bool) {}

void TComponent::InsertComponent(TComponent* child) {
    FComponents.push_back(child);
    child->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* child) {
    child->FOwner = nullptr;
    if (FDestroying)
        return;
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), child), FComponents.end());
}

std::string CmpFullName(const TComponent* component) {
    std::string result;
    for (const TComponent* c = component; c; c = c->Owner()) {
        if (c->Name().empty())
            continue;
        result = result.empty() ? c->Name() : c->Name() + "." + result;
    }
    return result;
}
