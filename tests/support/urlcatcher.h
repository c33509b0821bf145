// Stands in for the desktop when a test opens links: register it with
// QDesktopServices::setUrlHandler(scheme, &catcher, "Open") and read what
// was opened.
#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class TUrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl &url) { Opened.append(url); }
};
