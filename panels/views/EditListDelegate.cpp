#include "panels/views/EditListDelegate.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include "panels/EditListModel.h"
#include "panels/views/ParameterTableModel.h"

namespace tarvo {

EditListDelegate::EditListDelegate(EditListModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

QWidget* EditListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
    QWidget* editor = nullptr;
    switch (model_.CellOpens(index.row(), index.column())) {
        case EditListModel::Opens::kEditor: {
            const QVariantList choices = index.data(ParameterTableModel::kCodeChoicesRole).toList();
            if (!choices.isEmpty()) {
                editor = CodeChoices(parent, choices);
                break;
            }
            auto* edit = new QLineEdit(parent);
            edit->setFrame(false);
            editor = edit;
            break;
        }
        case EditListModel::Opens::kDropDown: {
            auto* combo = new QComboBox(parent);
            for (const std::string& choice : model_.UnitChoices(index.row())) {
                combo->addItem(QString::fromStdString(choice));
            }
            // A choice from the list ends the edit at once.
            connect(combo, &QComboBox::activated, this, [this, combo] {
                emit const_cast<EditListDelegate*>(this)->commitData(combo);
                emit const_cast<EditListDelegate*>(this)->closeEditor(combo);
            });
            editor = combo;
            break;
        }
        default:
            return nullptr;
    }
    editor->setProperty("row", index.row());
    editor->setProperty("column", index.column());
    return editor;
}

QComboBox* EditListDelegate::CodeChoices(QWidget* parent, const QVariantList& choices) const {
    // Editable: a code without a name can still be typed.
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setProperty("codeChoices", true);
    for (const QVariant& choice : choices) {
        QVariantList pair = choice.toList();
        combo->addItem(pair.value(1).toString(), pair.value(0));
    }
    // A name chosen from the list is written at once, as Enter writes a typed value.
    connect(combo, &QComboBox::activated, this, [this, combo] {
        auto* self = const_cast<EditListDelegate*>(this);
        self->enterHeld_ = true;
        emit self->commitData(combo);
        self->enterHeld_ = false;
        emit self->closeEditor(combo);
    });
    return combo;
}

void EditListDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    // Only when the control opens: a live value arriving for the row must not overwrite
    // what the user is typing.
    if (editor->property("opened").toBool()) {
        return;
    }
    editor->setProperty("opened", true);
    QString text = index.data(Qt::EditRole).toString();
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
        edit->selectAll();
    } else if (auto* combo = qobject_cast<QComboBox*>(editor);
               combo != nullptr && combo->property("codeChoices").toBool()) {
        combo->setCurrentIndex(combo->findData(text));
        combo->setEditText(text);
        combo->lineEdit()->selectAll();
    } else if (combo != nullptr) {
        // The first choice that begins with the cell's text is selected.
        combo->setCurrentIndex(combo->findText(text, Qt::MatchStartsWith));
        combo->setProperty("initialText", text);
        QTimer::singleShot(0, combo, [combo] {
            if (combo->isVisible()) {
                combo->showPopup();
            }
        });
    }
}

void EditListDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                    const QModelIndex& index) const {
    std::string text;
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        text = edit->text().toStdString();
    } else if (auto* combo = qobject_cast<QComboBox*>(editor);
               combo != nullptr && combo->property("codeChoices").toBool()) {
        // A name stands for its code; anything else typed is taken as it is.
        int chosen = combo->findText(combo->currentText(), Qt::MatchExactly);
        text =
            (chosen >= 0 ? combo->itemData(chosen).toString() : combo->currentText()).toStdString();
    } else if (combo != nullptr) {
        text = combo->currentIndex() < 0 ? combo->property("initialText").toString().toStdString()
                                         : combo->currentText().toStdString();
    } else {
        return;
    }
    model_.EditEnded(index.row(), index.column(), text, enterHeld_);
}

void EditListDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const {
    editor->setGeometry(option.rect);
}

bool EditListDelegate::eventFilter(QObject* watched, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(watched);
    if (editor != nullptr && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            enterHeld_ = true;
            emit commitData(editor);
            enterHeld_ = false;
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            return true;
        }
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            // Ends the edit as a click elsewhere does (the typed text stays, unwritten, until
            // the next read); the list, not the item view, chooses the next cell.
            int row = editor->property("row").toInt();
            int column = editor->property("column").toInt();
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            emit tabbedFrom(row, column, key->key() == Qt::Key_Tab ? 1 : -1);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

}  // namespace tarvo
