#include "ModalDriver.h"
#include "app/QtUserInterface.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using velmora::MsgAnswer;
using velmora::MsgButtons;
using velmora::MsgIcon;
using velmora::app::QtUserInterface;

class QtUserInterfaceTest : public QObject {
    Q_OBJECT

  private:
    // Answers the next message box that opens, and records what it showed.
    void AnswerNextBox(QMessageBox::StandardButton button) {
        velmora::testing::OnNextModal([this, button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                return;  // the checks on what it showed then fail
            }
            m_title = box->windowTitle();
            m_text = box->text();
            m_icon = box->icon();
            m_buttons = box->standardButtons();
            m_default = box->defaultButton() ? box->standardButton(box->defaultButton())
                                             : QMessageBox::NoButton;
            box->button(button)->click();
        });
    }

    QString m_title;
    QString m_text;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons m_buttons;
    QMessageBox::StandardButton m_default = QMessageBox::NoButton;

  private slots:
    void filterPairs_becomeQtFilters() {
        QCOMPARE(
            QtUserInterface::QtFilterFromPairs(QStringLiteral("Lotus Notes Email (*.nsf)|*.nsf")),
            QStringLiteral("Lotus Notes Email (*.nsf)"));
        QCOMPARE(QtUserInterface::QtFilterFromPairs(QStringLiteral("Text|*.txt;*.log|All|*")),
                 QStringLiteral("Text (*.txt *.log);;All (*)"));
    }

    void messageBox_yesNo_defaultsToYesAndReportsAnswer() {
        QtUserInterface ui;
        AnswerNextBox(QMessageBox::No);
        const MsgAnswer answer = ui.MessageBox(QStringLiteral("Really?"), QStringLiteral("Ask"),
                                               MsgIcon::Information, MsgButtons::YesNo);
        QCOMPARE(answer, MsgAnswer::No);
        QCOMPARE(m_title, QStringLiteral("Ask"));
        QCOMPARE(m_text, QStringLiteral("Really?"));
        QCOMPARE(m_icon, QMessageBox::Information);
        QCOMPARE(m_buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(m_default, QMessageBox::Yes);
    }

    void messageBox_untitledShowsAppTitle_noIcon() {
        QtUserInterface ui;
        AnswerNextBox(QMessageBox::Ok);
        QCOMPARE(ui.MessageBox(QStringLiteral("No data"), QString(), MsgIcon::None, MsgButtons::Ok),
                 MsgAnswer::Ok);
        QCOMPARE(m_title, QStringLiteral("Velmora"));
        QCOMPARE(m_icon, QMessageBox::NoIcon);
        QCOMPARE(m_buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void pause_waitsAtLeastTheGivenTime() {
        QtUserInterface ui;
        QElapsedTimer timer;
        timer.start();
        ui.Pause(30);
        QVERIFY(timer.elapsed() >= 30);
    }
};

QTEST_MAIN(QtUserInterfaceTest)
#include "QtUserInterfaceTest.moc"
