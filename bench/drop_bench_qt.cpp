// Drop intake: a text/uri-list of N local paths dropped on the real Qt window, through its drop
// handler into the selection and the caption, against QMimeData::urls() parsing the same list.
//   drop_bench_qt N ROUNDS      prints "tool <median s>" and "urls <median s>"
#include "DropZone.h"
#include "FlagwashWindow.h"
#include "QtView.h"
#include "QuietWindow.h"
#include "Timing.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"
#include "reset/AttributeReset.h"
#include "web/RegistryReader.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// What a drop from another program hands over: the raw bytes of the list, fetched and
// converted on request, as Qt's platform drop data does (not pre-parsed by setData).
class ForeignDropData : public QMimeData
{
public:
    explicit ForeignDropData(QByteArray uriList)
        : uriList_(std::move(uriList))
    { }
    QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }
    bool hasFormat(const QString& type) const override
    {
        return type == QLatin1String("text/uri-list");
    }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override
    {
        return hasFormat(type) ? QVariant(uriList_) : QVariant();
    }

private:
    QByteArray uriList_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s N ROUNDS\n", argv[0]);
        return 2;
    }
    const int count = std::stoi(argv[1]);
    const int rounds = std::stoi(argv[2]);

    QByteArray list;
    for (int i = 0; i < count; ++i)
        list += "file:///home/user/Documents/infected%20stick/file-" + QByteArray::number(i)
                + ".txt\r\n";
    const ForeignDropData data(list);

    QuietWindow quiet;
    FlagwashWindow& window = quiet.window;
    frmFlagwash& form = quiet.form;

    std::vector<double> tool, urls;
    for (int round = 0; round < rounds; ++round) {
        tool.push_back(seconds([&] {
            form.Form_OLEDragOver();
            // As a real drag arrives: it enters the drop zone, then drops there.
            QDragEnterEvent enter(QPoint(35, 35), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(window.dropZone(), &enter);
            QDropEvent drop(QPointF(35, 35), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window.dropZone(), &drop);
        }));
        if (form.List1().count() != std::size_t(count)
            || window.windowTitle()
                    != QString::number(count) + " File(s)/Folder(s) selected. Click RESET") {
            std::fprintf(stderr, "the drop was not taken whole\n");
            return 1;
        }
        std::size_t parsed = 0;
        urls.push_back(seconds([&] { parsed = std::size_t(data.urls().size()); }));
        if (parsed != std::size_t(count))
            return 1;
    }
    std::printf("tool %.6f\nurls %.6f\n", median(tool), median(urls));
    return 0;
}
