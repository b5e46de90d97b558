// MSAA against an accessibility service held in memory: the ring's overrun rule, the order and
// failures of reading an element, and the argument errors.
#include <gtest/gtest.h>

#include "../interp/fixture.h"
#include "platform/accessibility.h"

namespace parlendo {
namespace {

using testing::Machine;

// An element whose answers the test sets; a request given no answer fails.
struct FakeElement final : AccessibleElement {
    bool reachable() override { return alive; }
    std::optional<int> role() override { return roleNumber; }
    std::optional<std::string> roleText() override { return roleName; }
    std::optional<AccessibleArea> area() override { return box; }
    std::optional<std::string> name() override { return label; }
    std::optional<AccessibleStates> states() override { return stateSet; }
    std::optional<std::string> value() override { return content; }

    bool alive = true;
    std::optional<int> roleNumber;
    std::optional<std::string> roleName;
    std::optional<AccessibleArea> box;
    std::optional<std::string> label;
    std::optional<AccessibleStates> stateSet;
    std::optional<std::string> content;
};

std::shared_ptr<FakeElement> button(std::string label) {
    auto e = std::make_shared<FakeElement>();
    e->roleNumber = 43;
    e->roleName = "push button";
    e->label = std::move(label);
    e->stateSet = AccessibleStates{};
    return e;
}

struct FakeAccessibility final : Accessibility {
    void pump() override {}
    void watch(Sink s) override { sink = std::move(s); }
    ElementRef elementAt(int x, int y) override { return x == 5 && y == 6 ? atPoint : nullptr; }
    void focus(ElementRef e) {
        if (sink) sink(kFocusChanged, std::move(e));
    }
    Sink sink;
    ElementRef atPoint;
};

struct MsaaMachine : Machine {
    MsaaMachine() { in.services.accessibility = &service; }
    FakeAccessibility service;
};

TEST(Msaa, RingKeepsAtMostNinetyNineAndLosesTheOldest) {
    MsaaMachine m;
    ASSERT_TRUE(m.exec("msaa checa c"));
    EXPECT_EQ(m.var("c"), "0") << "before MONITORA";
    ASSERT_TRUE(m.exec("msaa monitora"));
    for (int i = 1; i <= 99; ++i) m.service.focus(button("b" + std::to_string(i)));
    int taken = 0;
    for (; m.exec("msaa checa c") && m.var("c") == "1"; ++taken) {
        ASSERT_TRUE(m.exec("msaa nome n"));
        EXPECT_EQ(m.var("n"), "b" + std::to_string(taken + 1));
    }
    EXPECT_EQ(taken, 99) << "99 unread events all stay";
    // A hundredth makes the write index meet the read index: the ring looks empty.
    for (int i = 1; i <= 100; ++i) m.service.focus(button("c" + std::to_string(i)));
    ASSERT_TRUE(m.exec("msaa checa c"));
    EXPECT_EQ(m.var("c"), "0");
    // Two more: the two slots last written hold the newest events.
    m.service.focus(button("d1"));
    m.service.focus(button("d2"));
    ASSERT_TRUE(m.exec("msaa checa c"));
    ASSERT_TRUE(m.exec("msaa nome n"));
    EXPECT_EQ(m.var("n"), "d1");
    ASSERT_TRUE(m.exec("msaa fim"));
    m.service.focus(button("depois"));
    ASSERT_TRUE(m.exec("msaa checa c"));
    ASSERT_TRUE(m.exec("msaa nome n"));
    EXPECT_EQ(m.var("n"), "d2") << "nothing is collected after FIM";
    ASSERT_TRUE(m.exec("msaa checa c"));
    EXPECT_EQ(m.var("c"), "0");
}

TEST(Msaa, ReadingAnElement) {
    MsaaMachine m;
    ASSERT_TRUE(m.exec("msaa monitora"));
    auto box = button("Aceito");
    box->roleNumber = 44;
    box->box = AccessibleArea{10, 20, 30, 40};
    box->stateSet = AccessibleStates{true, true};
    box->content = "x";
    m.service.focus(box);
    ASSERT_TRUE(m.exec("msaa checa c"));
    ASSERT_TRUE(m.exec("msaa estado e"));
    EXPECT_FALSE(m.exec("msaa área a b c d")) << "only AREA without an accent";
    ASSERT_TRUE(m.exec("msaa area a b d f"));
    EXPECT_EQ(m.var("e"), testing::cp("indisponível")) << "unavailable wins over checked";
    EXPECT_EQ(m.var("a") + m.var("b") + m.var("d") + m.var("f"), "10203040");

    // Role 0: nothing else is asked; the area stays as it was.
    auto blank = button("sem papel");
    blank->roleNumber = 0;
    blank->content = "valor";
    m.service.focus(blank);
    ASSERT_TRUE(m.exec("msaa checa c"));
    ASSERT_TRUE(m.exec("msaa código r"));
    ASSERT_TRUE(m.exec("msaa nome n"));
    ASSERT_TRUE(m.exec("msaa valor v"));
    ASSERT_TRUE(m.exec("msaa tipo t"));
    ASSERT_TRUE(m.exec("msaa area a b d f"));
    EXPECT_EQ(m.var("c") + "|" + m.var("r") + "|" + m.var("n") + "|" + m.var("v") + "|" + m.var("t"),
              "1|0|||");
    EXPECT_EQ(m.var("a"), "10");

    // An element its program has let go: "0", the properties of the last one stay.
    auto gone = button("foi");
    gone->alive = false;
    m.service.focus(gone);
    m.set("n", "?");
    ASSERT_TRUE(m.exec("msaa checa c"));
    EXPECT_EQ(m.var("c"), "0");
    ASSERT_TRUE(m.exec("msaa codigo r"));
    EXPECT_EQ(m.var("r"), "0");

    // CAPTURA: the element at the point; nothing there keeps the current one.
    m.service.atPoint = button("Ouvir");
    ASSERT_TRUE(m.exec("msaa captura 1 2"));
    ASSERT_TRUE(m.exec("msaa codigo r"));
    EXPECT_EQ(m.var("r"), "0");
    ASSERT_TRUE(m.exec("msaa captura 5 6"));
    ASSERT_TRUE(m.exec("msaa nome n"));
    ASSERT_TRUE(m.exec("msaa codigo r"));
    EXPECT_EQ(m.var("n") + m.var("r"), "Ouvir43");
}

TEST(Msaa, ArgumentErrors) {
    MsaaMachine m;
    EXPECT_FALSE(m.exec("msaa checa"));
    EXPECT_FALSE(m.exec("msaa captura x"));
    EXPECT_FALSE(m.exec("msaa captura 3"));
    EXPECT_FALSE(m.exec("msaa nome"));
    EXPECT_FALSE(m.exec("msaa outra c"));
    EXPECT_FALSE(m.exec("msaa"));
    m.set("c", "antes");
    EXPECT_FALSE(m.exec("msaa area a b 7 d")) << "fails at the third";
    EXPECT_EQ(m.var("a") + m.var("b") + m.var("c"), "00antes");
    // Upper-cased, accented letters too; without a service the commands behave as with no events.
    Machine bare;
    EXPECT_TRUE(bare.exec("MSAA Monitora"));
    EXPECT_TRUE(bare.exec("msaa CÓDIGO r"));
    EXPECT_TRUE(bare.exec("msaa checa c"));
    EXPECT_EQ(bare.var("c"), "0");
    EXPECT_TRUE(bare.exec("msaa fim"));
}

}  // namespace
}  // namespace parlendo
