#include "core/Exception.h"
#include "core/UiPort.h"
#include "FakeUi.h"

#include <gtest/gtest.h>

TEST(UiPort, RefusesLoudlyWithoutAnImplementation) {
    try {
        Inf("x");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("message window"), std::string::npos);
    }
}

TEST(UiPort, WrappersPassTheirButtonsAndAnswer) {
    TFakeUi ui;
    ui.Answers = {kNie, kTak};
    EXPECT_FALSE(PytTN("Czy?"));
    EXPECT_TRUE(PytTN("Czy?"));
    BladOk("zle");
    Inf("info", 200);
    ASSERT_EQ(ui.Windows.size(), 4u);
    EXPECT_EQ(ui.Windows[0].Przyciski, (std::vector<TKomButtonType>{kTak, kNie}));
    EXPECT_EQ(ui.Windows[0].Rodzaj, kPytanie);
    EXPECT_EQ(ui.Windows[2].Rodzaj, kBlad);
    EXPECT_EQ(ui.Windows[2].Tresc, "zle");
    EXPECT_EQ(ui.Windows[3].Rodzaj, kInformacja);
    EXPECT_EQ(ui.Windows[3].Skala, 200);
}

TEST(UiPort, EmptyButtonListAnswersCancelWithoutAWindow) {
    TFakeUi ui;
    EXPECT_EQ(KomNew("x", {}, kOK, kInformacja), kAnuluj);
    EXPECT_TRUE(ui.Windows.empty());
}
