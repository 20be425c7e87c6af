#pragma once
// The component model: every component may have an owner that frees it, and a name. Owned
// components are freed with their owner, youngest first; a component freed by its creator leaves
// its owner's list on the way.

#include <cstddef>
#include <string>
#include <vector>

// Root of the framework's polymorphic objects (the object lists own TObject pointers).
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner = nullptr);
    ~TComponent() override;

    TComponent* Owner() const noexcept { return FOwner; }
    const std::string& Name() const noexcept { return FName; }
    void SetName(std::string name) { FName = std::move(name); }

    std::size_t ComponentCount() const noexcept { return FComponents.size(); }
    TComponent* Components(std::size_t index) const { return FComponents.at(index); }
    // Finds an owned component by name (letter case ignored, as component names are); null when none.
    TComponent* FindComponent(const std::string& name) const;

    // Hands the component to another owner (null: nobody owns it any more).
    void SetOwner(TComponent* owner);

    // A component that asked for it is told when another component goes away, so that it can drop
    // its reference (the links between databases, transactions and statements rely on it).
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

protected:
    virtual void Notification(TComponent* component, bool removing);

private:
    void InsertComponent(TComponent* child);
    void RemoveComponent(TComponent* child);

    TComponent* FOwner = nullptr;
    std::string FName;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    bool FDestroying = false;
};

// The full name of a component: the non-empty names from the outermost owner down to the object,
// joined by "."; empty for a null pointer or an unnamed component without named owners.
std::string CmpFullName(const TComponent* component);
