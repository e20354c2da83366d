#include "platform/buttonkeys.h"
#include "platform/keycodes.h"
#include "testsupport.h"

struct Press { int key; bool autoRepeat; qint64 atMs; };

class KeyRecorder : public ZKbMainWidget
{
public:
    QList<Press> presses;
    QElapsedTimer clock;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        presses.append({e->key(), e->isAutoRepeat(), clock.elapsed()});
    }
};

// A button's key in the list and while playing; 0: none.
struct TableRow { PadButton button; int list, playing; };

struct SettingRow { const char *line; PadButton button; int list, playing; bool complains; };

class ButtonsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<KeyRecorder> window;
    ButtonKeys *keys = nullptr;

private slots:
    void init()
    {
        window = std::make_unique<KeyRecorder>();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        keys = new ButtonKeys(window.get(), ButtonTable());
        window->clock.start();
    }

    void defaultTable()
    {
        const TableRow rows[] = {
            {PadButton::Up, Qt::Key_Up, Qt::Key_Up}, {PadButton::Down, Qt::Key_Down, Qt::Key_Down},
            {PadButton::Left, Qt::Key_Left, Qt::Key_Left},
            {PadButton::Right, Qt::Key_Right, Qt::Key_Right},
            {PadButton::A, Qt::Key_Return, Qt::Key_Return},
            {PadButton::B, Qt::Key_Escape, Qt::Key_F2},
            {PadButton::X, 0, Qt::Key_F1}, {PadButton::Y, Qt::Key_F3, 0},
            {PadButton::Start, Qt::Key_F3, 0}, {PadButton::L1, Qt::Key_PageUp, Qt::Key_1},
            {PadButton::R1, Qt::Key_PageDown, Qt::Key_3}, {PadButton::L2, 0, Qt::Key_PageDown},
            {PadButton::R2, 0, Qt::Key_PageUp}};
        const ButtonTable table;
        for (const TableRow &row : rows) {
            QCOMPARE(table.row(row.button).listKey, row.list);
            QCOMPARE(table.row(row.button).playingKey, row.playing);
        }
        window->setFullScreenMode(true, false);
        keys->press(PadButton::B);
        QCOMPARE(window->presses.value(0).key, handset::fromQtKey(Qt::Key_F2));
    }

    void settingsChangeRows()
    {
        const SettingRow rows[] = {
            {"X = f1", PadButton::X, Qt::Key_F1, Qt::Key_F1, false},
            {"L2=,volumedown", PadButton::L2, 0, Qt::Key_VolumeDown, false},
            {"A=Nonsense,F1", PadButton::A, Qt::Key_Return, Qt::Key_Return, true}, // default kept
        };
        for (const SettingRow &row : rows) {
            writeFile(dirFile("gamepad.ini"), QByteArray("[GAMEPAD]\n") + row.line + "\n");
            ButtonTable table;
            StdoutCapture out;
            table.readSettings(ZConfig(dirFile("gamepad.ini"), false));
            QCOMPARE(table.row(row.button).listKey, row.list);
            QCOMPARE(table.row(row.button).playingKey, row.playing);
            QCOMPARE(out.lines().size(), row.complains ? 1 : 0);
        }
    }

    // A held direction repeats after 400 ms, then every 50 ms, until let go.
    void heldDirectionRepeats()
    {
        keys->press(PadButton::Down);
        QTRY_VERIFY(window->presses.size() >= 6);
        keys->release(PadButton::Down);
        const QList<Press> presses = window->presses;
        QCOMPARE(presses[0].autoRepeat, false);
        for (int i = 1; i < presses.size(); ++i) {
            QCOMPARE(presses[i].autoRepeat, true);
            const int due = ButtonKeys::FirstRepeatMs + (i - 1) * ButtonKeys::RepeatMs;
            QCOMPARE_GE(presses[i].atMs, due);
        }
        QTest::qWait(200);
        QCOMPARE(window->presses.size(), presses.size());
    }

    // Back gives F4 once held for a second.
    void backHeld()
    {
        keys->press(PadButton::Back);
        QTRY_COMPARE(window->presses.size(), 1);
        QCOMPARE(window->presses[0].key, handset::fromQtKey(Qt::Key_F4));
        QCOMPARE_GE(window->presses[0].atMs, ButtonKeys::HoldMs);
        keys->release(PadButton::Back);
    }

    // In the window media keys act as their buttons only when the settings say so.
    void mediaKeysInTheWindow()
    {
        QVERIFY(!activeWindow(testAppDir(), "")->findChild<ButtonKeys *>());
        auto w = activeWindow(testAppDir(), "[GAMEPAD]\nMEDIAKEYS=YES\n");
        QTest::keyClick(WindowInspector::list(*w), Qt::Key_MediaStop);
        QCOMPARE(WindowInspector::currentDir(*w), QDir(testAppDir() + "..").canonicalPath());
    }
};

MORVANE_GUI_TEST_MAIN(ButtonsTest)
#include "tst_buttons.moc"
