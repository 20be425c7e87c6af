#include "Shots.h"

#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

void SaveShot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("ZELWAN_SHOTS_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    const QPixmap client = widget->grab();
    const bool window = widget->isWindow();
    const int bar = window ? 22 : 0;
    QPixmap shot(client.width() + (window ? 2 : 0), client.height() + bar + (window ? 1 : 0));
    shot.fill(QColor(40, 70, 130));
    QPainter p(&shot);
    if (window) {
        const QIcon icon = widget->windowIcon();
        int x = 4;
        if (!icon.isNull()) {
            p.drawPixmap(4, 3, icon.pixmap(16, 16));
            x = 24;
        }
        p.setPen(Qt::white);
        QFont f = widget->font();
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(x, 0, shot.width() - x, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   widget->windowTitle());
        p.drawPixmap(1, bar, client);
    } else {
        p.drawPixmap(0, 0, client);
    }
    p.end();
    shot.save(QDir(dir).filePath(name + QStringLiteral(".png")));
}
