#pragma once
// Hands a document to the desktop and tells, now or later, when nothing could
// show it. xdg-open reports a missing browser only by its exit status, after
// it has been started, so the answer may come from the event loop.

#include <QUrl>
#include <functional>

namespace cofralin {

using DocumentOpener = std::function<void(const QUrl& document, std::function<void()> failed)>;

// The desktop's opener: xdg-open where it is installed, Qt's own otherwise.
// `failed` runs at most once, when no program took the document.
void OpenWithDesktop(const QUrl& document, std::function<void()> failed);

}  // namespace cofralin
