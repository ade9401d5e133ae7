// The real open-file dialog opens where the operator last chose a file of the same kind,
// across a restart of the station.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <fstream>

#include "console/operator_prompts.h"
#include "tests/support/temp_dir.h"

namespace vantorel::console::test {
namespace {

const QString kBootLoaderFilter = QStringLiteral("Eboot File (*.eb0)|*.eb0|");
const QString kApplicationFilter = QStringLiteral("PDA File (*.nb0)|*.nb0|");

QString Canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Picks `file` in the file dialog that the prompts bring up; `opened` is the folder it
// opened in.
std::optional<QString> PickWithDialog(QtOperatorPrompts& prompts, const QString& filter,
                                      const QString& file, QString& opened) {
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            opened = dialog->directory().absolutePath();
            dialog->selectFile(file);
            // Closed as Open closes it, without waiting for its file list to load.
            static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
        }
    });
    answer.start(20);
    return prompts.ChooseOpenFile(nullptr, filter);
}

TEST(RememberedFoldersTest, EachKindOfFileDialogOpensWhereItsLastFileCameFromAcrossARestart) {
    vantorel::test::TempDir scratch;
    std::filesystem::create_directories(scratch / "first");
    std::filesystem::create_directories(scratch / "boot loaders");
    std::ofstream(scratch / "boot loaders" / "eboot.eb0") << "x";
    const QString settings = Q(scratch / "settings.ini");
    const QString first = Q(scratch / "first");
    const QString chosen = Q(scratch / "boot loaders" / "eboot.eb0");
    {
        QtOperatorPrompts prompts(first, settings);
        QString opened;
        const auto answer = PickWithDialog(prompts, kBootLoaderFilter, chosen, opened);
        EXPECT_EQ(Canonical(opened), Canonical(first));
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(Canonical(*answer), Canonical(chosen));
    }
    QtOperatorPrompts restarted(first, settings);
    EXPECT_EQ(Canonical(restarted.StartFolder(kBootLoaderFilter)),
              Canonical(Q(scratch / "boot loaders")));
    EXPECT_EQ(restarted.StartFolder(kApplicationFilter), first);
    QString opened;
    PickWithDialog(restarted, kBootLoaderFilter, chosen, opened);
    EXPECT_EQ(Canonical(opened), Canonical(Q(scratch / "boot loaders")));

    // A remembered folder that has gone is no place to open in.
    std::filesystem::remove_all(scratch / "boot loaders");
    EXPECT_EQ(QtOperatorPrompts(first, settings).StartFolder(kBootLoaderFilter), first);
}

}  // namespace
}  // namespace vantorel::console::test
