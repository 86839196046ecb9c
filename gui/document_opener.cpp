#include "document_opener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace cofralin {

void OpenWithDesktop(const QUrl& document, std::function<void()> failed) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(document)) failed();
        return;
    }
    // No parent: a browser that xdg-open runs in the foreground must outlive
    // the window, and a QProcess that is destroyed kills its program.
    auto* process = new QProcess;
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0) failed();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         failed();
                         process->deleteLater();
                     });
    process->start(opener, {document.toString(QUrl::FullyEncoded)});
}

}  // namespace cofralin
