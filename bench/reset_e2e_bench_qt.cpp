// RESET click to report on the real Qt window: N files with hidden and system in
// user.DOSATTRIB are dropped, RESET is clicked, and the clock stops when the report box is up.
// The progress window, its repaints and the box are all in it. Held against the minimal
// pinned loop over the same files.
//   reset_e2e_bench_qt DIR N ROUNDS      prints "tool <median s>" and "pinned <median s>"
#include "FlagwashWindow.h"
#include "QtView.h"
#include "QuietWindow.h"
#include "ResetFiles.h"
#include "Timing.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"
#include "reset/AttributeReset.h"
#include "web/RegistryReader.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <chrono>

using namespace resetbench;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DIR N ROUNDS\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const Paths paths = makeFiles(dir, std::stoul(argv[2]));
    const int rounds = std::stoi(argv[3]);

    QuietWindow quiet;
    frmFlagwash& form = quiet.form;

    std::vector<double> tool, floor;
    const std::string done = "Done resetting " + std::to_string(paths.size()) + " files/folders";
    for (int round = 0; round < rounds; ++round) {
        arm("ext4-xattr", paths, false);
        form.Image1_OLEDragDrop({paths});
        std::chrono::steady_clock::time_point shown;
        QString report;
        QTimer closer;
        closer.setInterval(1);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            shown = std::chrono::steady_clock::now();
            report = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        closer.start();
        const auto start = std::chrono::steady_clock::now();
        form.imgStart_Click();
        closer.stop();
        if (!report.startsWith(QString::fromStdString(done))) {
            std::fprintf(stderr, "the tool did not reset every file:\n%s\n", qPrintable(report));
            return 1;
        }
        tool.push_back(std::chrono::duration<double>(shown - start).count());

        arm("ext4-xattr", paths, false);
        floor.push_back(seconds([&] { pinned("ext4-xattr", paths); }));
    }
    std::printf("tool %.6f\npinned %.6f\n", median(tool), median(floor));
    return 0;
}
