#include "app/notice.h"

QMessageBox* showNotice(const QString& text) {
    auto* notice = new QMessageBox(QMessageBox::Warning, QStringLiteral("ぴこめ"), text, QMessageBox::Ok);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setAttribute(Qt::WA_ShowWithoutActivating);
    notice->setWindowModality(Qt::NonModal);
    notice->show();
    return notice;
}
