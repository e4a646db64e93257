#include "QtView.h"

#include "DropZone.h"
#include "FlagwashWindow.h"
#include "Utf8Text.h"
#include "X11WindowName.h"
#include "app/Layout.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>

QtView::QtView(FlagwashWindow& window, std::function<void()> quit)
    : window_(window)
    , quit_(std::move(quit))
    , namePublisher_(std::make_unique<WindowNamePublisher>())
{
    window_.installEventFilter(namePublisher_.get());
}

QtView::~QtView() = default;

void QtView::setCaption(const std::string& text)
{
    window_.setWindowTitle(fromUtf8(text));
    publishWindowName(&window_);
}

void QtView::prepareDropZone()
{
    window_.dropZone()->setAcceptDrops(true);
    window_.dropZone()->setDragSourceEnabled(true);
}

void QtView::setDropZoneVisible(bool visible)
{
    window_.dropZone()->setVisible(visible);
}

void QtView::setOuterSizeTwips(int width, int height)
{
    // Qt sizes the client area: the one a Windows frame of this outer size would leave.
    constexpr int dpi = Layout::referenceDpi;
    window_.setClientSize({Layout::twipsToPixels(width - Layout::referenceFrame.width, dpi),
                           Layout::twipsToPixels(height - Layout::referenceFrame.height, dpi)});
}

void QtView::showInformation(const std::string& title, const std::string& text)
{
    showReport(title, text, {}, false);
}

void QtView::showReport(const std::string& title, const std::string& text,
                        const std::string& details, bool warning)
{
    const auto plain = [](const std::string& utf8) {
        return fromUtf8(utf8).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    };
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information, fromUtf8(title),
                    plain(text), QMessageBox::Ok, &window_);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    // A scrolling text the user can select and copy, however many paths it holds.
    if (!details.empty())
        box.setDetailedText(plain(details));
    WindowNamePublisher publisher;
    box.installEventFilter(&publisher);
    box.exec();
}

void QtView::showProgress(std::size_t done, std::size_t total, const std::string& heading,
                          const std::string& currentPath)
{
    if (!progress_) {
        progress_ = std::make_unique<QProgressDialog>(&window_);
        progress_->setWindowTitle(window_.windowTitle());
        progress_->setCancelButton(nullptr);
        progress_->setWindowModality(Qt::ApplicationModal);
        progress_->setMinimumDuration(0);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setMinimumWidth(Layout::progressWidth);
        progress_->installEventFilter(namePublisher_.get());
        progress_->setRange(0, Layout::progressSteps);
    }
    const QString path = QFontMetrics(progress_->font())
                                 .elidedText(fromUtf8(currentPath), Qt::ElideMiddle, 400);
    progress_->setLabelText(fromUtf8(heading) + u'\n' + path);
    // A modal progress dialog repaints itself and the window here, and drops their input.
    progress_->setValue(total == 0 ? 0 : int(done * Layout::progressSteps / total));
}

void QtView::hideProgress()
{
    progress_.reset();
}

void QtView::quit()
{
    quit_();
}
