#include "app/ByteLimit.h"

#include <memory>

#include "base/Codepage.h"

namespace kantor::app {

bool fitsCp932Bytes(const QString& text, std::size_t bytes) {
    bool exact = true;
    return utf8ToCp932(text.toStdString(), &exact).size() <= bytes && exact;
}

void limitCp932Bytes(QLineEdit* edit, std::size_t bytes) {
    edit->setMaxLength(static_cast<int>(bytes));  // never more characters than bytes
    auto last = std::make_shared<QString>(edit->text());
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, bytes, last](const QString& t) {
        if (fitsCp932Bytes(t, bytes) || t.isEmpty()) {
            *last = t;
            return;
        }
        const int pos = std::max(0, edit->cursorPosition() - int(t.size() - last->size()));
        edit->setText(*last);
        edit->setCursorPosition(pos);
    });
}

}  // namespace kantor::app
