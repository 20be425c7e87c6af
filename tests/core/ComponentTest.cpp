#include "core/Component.h"

#include <gtest/gtest.h>

namespace {
// Counts its destructions and the removal notices it receives.
struct TProbe : TComponent {
    TProbe(TComponent* owner, std::string name, int* freed) : TComponent(owner), FFreed(freed) {
        SetName(std::move(name));
    }
    ~TProbe() override { ++*FFreed; }
    void Notification(TComponent* component, bool removing) override {
        if (removing)
            Removed.push_back(component);
    }
    std::vector<TComponent*> Removed;
    int* FFreed;
};
} // namespace

TEST(Component, OwnedComponentsAreFreedWithTheirOwner) {
    int freed = 0;
    auto* root = new TProbe(nullptr, "root", &freed);
    auto* child = new TProbe(root, "child", &freed);
    new TProbe(child, "grandchild", &freed);
    auto* early = new TProbe(root, "early", &freed);
    delete early; // freed by its creator: leaves the owner's list
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(root->ComponentCount(), 1u);
    delete root;
    EXPECT_EQ(freed, 4);
}

TEST(Component, FullNameSkipsEmptyNames) {
    int freed = 0;
    TProbe root(nullptr, "Form", &freed);
    auto* unnamed = new TProbe(&root, "", &freed);
    auto* leaf = new TProbe(unnamed, "Db", &freed);
    EXPECT_EQ(CmpFullName(leaf), "Form.Db");
    EXPECT_EQ(CmpFullName(unnamed), "Form");
    EXPECT_EQ(CmpFullName(nullptr), "");
    TProbe lonely(nullptr, "", &freed);
    EXPECT_EQ(CmpFullName(&lonely), "");
    EXPECT_EQ(root.FindComponent("FORM"), nullptr);
    EXPECT_EQ(unnamed->FindComponent("db"), leaf);
}

TEST(Component, FreeNotificationTellsTheOtherSideOnce) {
    int freed = 0;
    TProbe a(nullptr, "a", &freed);
    auto* b = new TProbe(nullptr, "b", &freed);
    a.FreeNotification(b);
    a.FreeNotification(b);
    delete b;
    ASSERT_EQ(a.Removed.size(), 1u);
    EXPECT_EQ(a.Removed[0], b);
}
