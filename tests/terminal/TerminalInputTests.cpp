// A person's keys and clicks, turned into the user actions the event loop carries out.
#include "TerminalFixture.h"

namespace kreloed::test {
namespace {

using Kind = macsim::Action::Kind;
using terminal::Key;
using Open = terminal::UiState::Open;

class TerminalInput : public TerminalFixture {};

TEST_F(TerminalInput, StatusMenuChoosesRowsSkippingSeparators) {
    const Id item = addStatusItem();
    EXPECT_FALSE(press(Key::StatusMenu).action);
    ASSERT_EQ(ui.open, Open::StatusMenu);
    EXPECT_EQ(ui.row, 0);
    press(Key::Down);
    EXPECT_EQ(ui.row, 2) << "over the separator";
    press(Key::Down);
    press(Key::Down);
    EXPECT_EQ(ui.row, 5);
    const terminal::Outcome chosen = press(Key::Return);
    ASSERT_TRUE(chosen.action);
    EXPECT_EQ(chosen.action->kind, Kind::StatusRow);
    EXPECT_EQ(chosen.action->statusItem, item);
    EXPECT_EQ(chosen.action->row, 5u);
    EXPECT_EQ(ui.open, Open::None) << "choosing closes the menu";

    // Up from the top wraps to Quit; End gets there too.
    press(Key::StatusMenu);
    press(Key::Up);
    EXPECT_EQ(ui.row, 10);
    press(Key::Home);
    press(Key::End);
    EXPECT_EQ(ui.row, 10);
    press(Key::Escape);
    EXPECT_EQ(ui.open, Open::None);
}

TEST_F(TerminalInput, DisabledRowBeepsAndStaysOpen) {
    addStatusItem();
    press(Key::StatusMenu);
    ui.row = 7; // "Always load Krelo.kext at launch", disabled
    const terminal::Outcome outcome = press(Key::Return);
    EXPECT_FALSE(outcome.action);
    EXPECT_TRUE(outcome.beep);
    EXPECT_EQ(ui.open, Open::StatusMenu);
}

TEST_F(TerminalInput, MenuBarWalksAcrossMenusAndStatusItemsAndSendsCommands) {
    addMenuBar();
    const Id item = addStatusItem();
    press(Key::MenuBar);
    ASSERT_EQ(ui.open, Open::AppMenu);
    EXPECT_EQ(ui.menu, 0u);
    press(Key::Right);
    EXPECT_EQ(ui.menu, 1u);
    press(Key::Right);
    EXPECT_EQ(ui.open, Open::StatusMenu) << "after the last menu comes the status item";
    press(Key::Right);
    EXPECT_EQ(ui.open, Open::AppMenu) << "and then the first menu again";
    press(Key::Left);
    EXPECT_EQ(ui.open, Open::StatusMenu);
    EXPECT_EQ(ui.menu, 0u);
    (void)item;

    // The Speed menu: its first row carries 'ausr'.
    press(Key::Left);
    ASSERT_EQ(ui.open, Open::AppMenu);
    ASSERT_EQ(ui.menu, 1u);
    const terminal::Outcome chosen = press(Key::Return);
    ASSERT_TRUE(chosen.action);
    EXPECT_EQ(chosen.action->kind, Kind::MenuCommand);
    EXPECT_EQ(chosen.action->command, std::uint32_t('ausr'));
    // m again closes what m opened.
    press(Key::MenuBar);
    press(Key::MenuBar);
    EXPECT_EQ(ui.open, Open::None);
}

TEST_F(TerminalInput, DialogKeysMoveFocusSliderAndPressButtons) {
    const Id dialog = addPrefsDialog(15);
    const Id slider = control(dialog, kSlider);
    struct Row {
        const char* name;
        Key key;
        Kind kind;
        std::int32_t value;
    } table[] = {
        {"left", Key::Left, Kind::SetSlider, 14},
        {"right", Key::Right, Kind::SetSlider, 16},
        {"home", Key::Home, Kind::SetSlider, 1},
        {"end", Key::End, Kind::SetSlider, 21},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const terminal::Outcome outcome = press(row.key);
        ASSERT_TRUE(outcome.action);
        EXPECT_EQ(outcome.action->kind, row.kind);
        EXPECT_EQ(outcome.action->control, slider);
        EXPECT_EQ(outcome.action->value, row.value);
    }
    // At an end, the slider has nowhere to go.
    server.setControlValue(slider, 21);
    EXPECT_FALSE(press(Key::Right).action);

    // Tab visits the slider and the two buttons, in reading order, and comes round again.
    EXPECT_EQ(terminal::focusableControls(server, dialog),
              (std::vector<Id>{slider, control(dialog, kCancel), control(dialog, kOK)}));
    press(Key::Tab);
    EXPECT_EQ(terminal::focusedControl(server, ui, dialog), control(dialog, kCancel));
    const terminal::Outcome space = press(Key::Space);
    ASSERT_TRUE(space.action);
    EXPECT_EQ(space.action->kind, Kind::Click);
    EXPECT_EQ(space.action->control, control(dialog, kCancel));
    // Return belongs to the default button even while Cancel has the focus.
    const terminal::Outcome ret = press(Key::Return);
    ASSERT_TRUE(ret.action);
    EXPECT_EQ(ret.action->kind, Kind::Key);
    EXPECT_EQ(ret.action->key, macsim::Action::KeyCode::Return);
    EXPECT_EQ(ret.action->window, dialog);
    const terminal::Outcome esc = press(Key::Escape);
    ASSERT_TRUE(esc.action);
    EXPECT_EQ(esc.action->key, macsim::Action::KeyCode::Escape);
    press(Key::Tab);
    press(Key::Tab);
    EXPECT_EQ(terminal::focusedControl(server, ui, dialog), slider);
    press(Key::BackTab);
    EXPECT_EQ(terminal::focusedControl(server, ui, dialog), control(dialog, kOK));
}

TEST_F(TerminalInput, ReturnPressesTheFocusedButtonOfAWindowWithoutDefault) {
    const Id about = addAboutWindow();
    const terminal::Outcome outcome = press(Key::Return);
    ASSERT_TRUE(outcome.action);
    EXPECT_EQ(outcome.action->kind, Kind::Click);
    EXPECT_EQ(outcome.action->control, control(about, 'dona'));
}

TEST_F(TerminalInput, CloseKeyUsesTheCloseBoxOrBeeps) {
    const Id about = addAboutWindow();
    terminal::Outcome outcome = press(Key::CloseWindow);
    ASSERT_TRUE(outcome.action);
    EXPECT_EQ(outcome.action->kind, Kind::Close);
    EXPECT_EQ(outcome.action->window, about);

    addPrefsDialog(); // in front, without a close box
    outcome = press(Key::CloseWindow);
    EXPECT_FALSE(outcome.action);
    EXPECT_TRUE(outcome.beep);
}

TEST_F(TerminalInput, ModalWindowAloneTakesInput) {
    addMenuBar();
    addStatusItem();
    const Id alert = addAlert("Can't find function");
    const macsim::WaitContext modal{alert};
    struct Row {
        const char* name;
        Key key;
    } beeping[] = {{"menu bar", Key::MenuBar},
                   {"status menu", Key::StatusMenu},
                   {"quit key", Key::Quit},
                   {"any other key", Key::Other}};
    for (const Row& row : beeping) {
        SCOPED_TRACE(row.name);
        const terminal::Outcome outcome = press(row.key, modal);
        EXPECT_TRUE(outcome.beep);
        EXPECT_FALSE(outcome.action);
        EXPECT_EQ(ui.open, Open::None);
    }
    // A click on the status title beeps too; the alert's own button works.
    const auto rows = picture(layOut(modal));
    EXPECT_TRUE(click(0, static_cast<int>(rows[0].find("1000")), modal).beep);
    const int buttons = rowWith(rows, "[[ OK ]]");
    const terminal::Outcome ok =
        click(buttons, static_cast<int>(rows[static_cast<std::size_t>(buttons)].find("OK")), modal);
    ASSERT_TRUE(ok.action);
    EXPECT_EQ(ok.action->kind, Kind::Click);
    EXPECT_EQ(ok.action->control, control(alert, kOK));
    // Return reaches the alert.
    const terminal::Outcome ret = press(Key::Return, modal);
    ASSERT_TRUE(ret.action);
    EXPECT_EQ(ret.action->window, alert);
}

TEST_F(TerminalInput, MenuOpenWhenAModalLoopStartsIsClosed) {
    addStatusItem();
    press(Key::StatusMenu);
    ASSERT_EQ(ui.open, Open::StatusMenu);
    const Id alert = addAlert("Can't create bundle");
    EXPECT_TRUE(terminal::reconcile(server, ui, macsim::WaitContext{alert}));
    EXPECT_EQ(ui.open, Open::None);
}

TEST_F(TerminalInput, ClicksOpenMenusChooseRowsPressButtonsAndSetSliders) {
    const Id item = addStatusItem();
    auto rows = picture(layOut());
    EXPECT_FALSE(click(0, static_cast<int>(rows[0].find("1000"))).action);
    ASSERT_EQ(ui.open, Open::StatusMenu);
    rows = picture(layOut());
    const int quit = rowWith(rows, "Quit");
    const terminal::Outcome chosen =
        click(quit, static_cast<int>(rows[static_cast<std::size_t>(quit)].find("Quit")));
    ASSERT_TRUE(chosen.action);
    EXPECT_EQ(chosen.action->kind, Kind::StatusRow);
    EXPECT_EQ(chosen.action->statusItem, item);
    EXPECT_EQ(chosen.action->row, 10u);

    // A click beside an open menu closes it and goes no further.
    click(0, static_cast<int>(rows[0].find("1000")));
    EXPECT_FALSE(click(20, 2).action);
    EXPECT_EQ(ui.open, Open::None);

    // Each cell of the slider's track stands for the value under it.
    const Id dialog = addPrefsDialog(1);
    const Id slider = control(dialog, kSlider);
    for (std::int32_t value = 2; value <= 21; ++value) {
        SCOPED_TRACE(value);
        server.setControlValue(slider, value);
        const terminal::Scene at = layOut();
        const terminal::TextRun* track = runWith(at, "#");
        ASSERT_NE(track, nullptr);
        const int y = track->y, knob = track->x + static_cast<int>(track->text.find('#'));
        server.setControlValue(slider, 1);
        const terminal::Outcome outcome = click(y, knob);
        ASSERT_TRUE(outcome.action);
        EXPECT_EQ(outcome.action->kind, Kind::SetSlider);
        EXPECT_EQ(outcome.action->control, slider);
        EXPECT_EQ(outcome.action->value, value);
    }
}

TEST_F(TerminalInput, QuitKeyOnlyTellsWhereQuitIs) {
    addStatusItem();
    const terminal::Outcome outcome = press(Key::Quit);
    EXPECT_FALSE(outcome.action);
    EXPECT_NE(ui.message.find("Quit"), std::string::npos);
    // The next key takes the message away.
    press(Key::Other);
    EXPECT_TRUE(ui.message.empty());
}

} // namespace
} // namespace kreloed::test
