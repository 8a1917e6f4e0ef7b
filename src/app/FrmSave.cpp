#include "app/FrmSave.h"

#include "app/Artwork.h"
#include "app/Theme.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

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
        event->ignore();  // the run still holds the Notes objects and writes below the destination
        return;
    }
    QDialog::closeEvent(event);
}

void FrmSave::reject() {
    if (!m_run.IsRunning()) {
        QDialog::reject();
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

void FrmSave::CloseWindow() {
    done(QDialog::Accepted);
}

}  // namespace velmora::app
