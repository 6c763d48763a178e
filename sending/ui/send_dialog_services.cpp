#include "sending/ui/send_dialog_services.h"

#include <QListWidget>

namespace kestrane {

void onExplicitPick(QListWidget* list, QObject* context, std::function<void(QListWidgetItem*)> picked)
{
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // A selection changes only by a click or by the keyboard moving it; focus alone never selects.
    QObject::connect(list, &QListWidget::itemSelectionChanged, context, [list, picked] {
        const QList<QListWidgetItem*> selected = list->selectedItems();
        if (!selected.isEmpty())
            picked(selected.front());
    });
    // A click on the entry already selected picks it again (after the line was edited).
    QObject::connect(list, &QListWidget::itemClicked, context, [list, picked](QListWidgetItem* item) {
        if (item && item->isSelected() && list->selectedItems().size() == 1)
            picked(item);
    });
}

} // namespace kestrane
