#include "app/FrmSave.h"

#include "app/Artwork.h"
#include "app/Theme.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <limits>

namespace velmora::app {

namespace {

constexpr int kTwipsPerPixel = 15;

QRect Twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
              bool bold) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    QFont font = Theme::WindowFont();
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace

FrmSave::FrmSave(notes::MailboxState& mailbox, exporting::ExportState& state, UserInterface& ui,
                 QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ui(ui),
      m_run(mailbox, state, *this, ui) {
    setObjectName(QStringLiteral("frmSave"));
    setWindowTitle(QStringLiteral("Export to PDF Documents"));
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);

    m_frame = new QGroupBox(QStringLiteral(" Export Progress Details"), this);
    m_frame->setObjectName(QStringLiteral("ExportFrame"));
    m_frame->setGeometry(Twips(120, 120, 7095, 1815));

    auto* arrow = new QLabel(m_frame);
    arrow->setObjectName(QStringLiteral("ImgReadingArrow"));
    arrow->setPixmap(Artwork::StepArrow());
    arrow->setGeometry(Twips(810, 360, 150, 240));

    m_lblSaveHeader =
        Label(m_frame, "LblSaveHeader", QString(), Twips(1080, 360, 1845, 195), false);
    m_lblSubject =
        Label(m_frame, "LblSubject", QStringLiteral("Subject :"), Twips(240, 720, 735, 195), true);
    m_lblProcessing =
        Label(m_frame, "LblProcessing", QString(), Twips(1080, 720, 5925, 555), false);
    m_lblProcessing->setWordWrap(true);
    m_lblProcessing->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblProcessing->setTextFormat(Qt::PlainText);
    Label(m_frame, "LblFoundLabel", QStringLiteral("Found :"), Twips(360, 1320, 705, 195), true);
    m_lblFound = Label(m_frame, "LblFound", QString(), Twips(1080, 1320, 1725, 195), false);
    Label(m_frame, "Label1", QStringLiteral("Current :"), Twips(4440, 1320, 735, 195), true);
    m_lblCurrent = Label(m_frame, "LblCurrent", QString(), Twips(5280, 1320, 1485, 195), false);
    m_lblSaveHeader->setTextFormat(Qt::PlainText);
    // Under the labels: every message of the run, where the labels count within one folder.
    m_prgOverall = new QProgressBar(m_frame);
    m_prgOverall->setObjectName(QStringLiteral("PrgOverall"));
    m_prgOverall->setGeometry(Twips(240, 1575, 6765, 195));
    m_prgOverall->setTextVisible(false);

    m_cmdConversion = new QPushButton(QStringLiteral("&Export Emails to PDF"), this);
    m_cmdConversion->setObjectName(QStringLiteral("CmdConversion"));
    m_cmdConversion->setGeometry(Twips(2520, 2040, 2295, 435));
    m_cmdConversion->setAutoDefault(false);
    connect(m_cmdConversion, &QPushButton::clicked, this, [this] { CmdConversion_Click(); });

    Theme::Apply(this);
    ResetToDesignState();
}

void FrmSave::ResetToDesignState() {
    m_lblSaveHeader->setText(QStringLiteral("Checking Configuration..."));
    m_lblSaveHeader->resize(Twips(1080, 360, 1845, 195).size());
    m_lblSubject->hide();
    m_lblProcessing->clear();
    m_lblFound->clear();
    m_lblCurrent->clear();
    m_prgOverall->setRange(0, 1);
    m_prgOverall->setValue(0);
    m_cmdConversion->setEnabled(true);
}

void FrmSave::ShowModal() {
    ResetToDesignState();
    exec();
}

void FrmSave::CmdConversion_Click() {
    m_run.CmdConversion_Click();
}

void FrmSave::closeEvent(QCloseEvent* event) {
    if (m_run.IsRunning()) {
        event->ignore();  // the run holds the Notes objects; it closes the window when it ends
        AskToStop();
        return;
    }
    QDialog::closeEvent(event);
}

void FrmSave::reject() {
    if (m_run.IsRunning()) {
        AskToStop();
        return;
    }
    QDialog::reject();
}

void FrmSave::AskToStop() {
    if (m_asking) {
        return;  // the question is on screen already
    }
    m_asking = true;
    const MsgAnswer answer = m_ui.MessageBox(
        QStringLiteral("Stop the export?\r\nThe messages in hand are finished; every PDF written "
                       "so far is kept."),
        QStringLiteral("Export to PDF Documents"), MsgIcon::Question, MsgButtons::YesNo);
    m_asking = false;
    if (answer == MsgAnswer::Yes && m_run.IsRunning()) {
        m_run.RequestStop();
    }
}

void FrmSave::SetSaveHeader(const QString& text) {
    m_lblSaveHeader->setText(text);
    // Wide enough for the whole phase line, within the frame.
    const int designWidth = Twips(1080, 360, 1845, 195).width();
    const int room = m_frame->width() - m_lblSaveHeader->x() - 8;
    m_lblSaveHeader->resize(qBound(designWidth, m_lblSaveHeader->sizeHint().width(), room),
                            m_lblSaveHeader->height());
}

void FrmSave::SetProcessing(const QString& text) {
    m_lblProcessing->setText(text);
}

void FrmSave::SetFound(const QString& text) {
    m_lblFound->setText(text);
}

void FrmSave::SetCurrent(const QString& text) {
    m_lblCurrent->setText(text);
}

void FrmSave::SetSubjectCaptionVisible(bool visible) {
    m_lblSubject->setVisible(visible);
}

void FrmSave::SetOverallProgress(std::int64_t done, std::int64_t total) {
    // A bar counts in int; past that, both ends are scaled alike.
    const std::int64_t scale = total / std::numeric_limits<int>::max() + 1;
    m_prgOverall->setRange(0, static_cast<int>(std::max<std::int64_t>(total / scale, 1)));
    m_prgOverall->setValue(static_cast<int>(std::min(done, total) / scale));
}

void FrmSave::CloseWindow() {
    done(QDialog::Accepted);
}

}  // namespace velmora::app
