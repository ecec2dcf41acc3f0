#include "platform/widgets/MessageBoxPrompt.h"

#include <QMessageBox>

void MessageBoxPrompt::critical(const QString& title, const QString& text)
{
    QMessageBox::critical(m_parent, title, text);
}
