#pragma once
// The words on the bottom-bar buttons, per language, in the order of the label cuts
// (see atlas_table.h): Quit, Back, Next, select every map tile, clear every map tile, Order,
// Preferences.

#include <array>

#include "art/atlas_table.h"

namespace art {

inline constexpr const char* label_texts[languages.size()][label_count] = {
    {"Quit", "Back", "Next", "Select All", "Clear All", "Order", "Preferences"},
    {"Quitter", "Retour", "Suivant", "Tout sélectionner", "Tout désélectionner", "Commander", "Préférences"},
    {"Beenden", "Zurück", "Weiter", "Alle auswählen", "Alle abwählen", "Bestellen", "Einstellungen"},
    {"Выход", "Назад", "Далее", "Выбрать все", "Очистить", "Заказать", "Настройки"},
    {"Esci", "Indietro", "Avanti", "Seleziona tutto", "Deseleziona tutto", "Ordina", "Preferenze"},
    {"Salir", "Atrás", "Siguiente", "Seleccionar todo", "Deseleccionar todo", "Comprar", "Preferencias"},
};

}  // namespace art
