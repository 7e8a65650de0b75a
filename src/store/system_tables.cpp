#include "store/schema_catalogue.h"

// The system's tables, fields, indexes and relations with their captions and descriptions,
// exactly as the catalogue stores them. One row per field: name, type letter, size, required,
// caption, description; one row per index: name, primary, fields, caption, description.

namespace tramela::store {

// clang-format off
const std::vector<CatalogueTable>& systemTables() {
    static const std::vector<CatalogueTable> tables = {
        {"master",
         "RDG Principale",
         "Contiene le impostazioni generali del sistema",
         {
             {"codice", 'I', 0, true, "Codice", "Codice = Zero"},
             {"azienda", 'I', 0, true, "Codice Azienda", "Codice Regionale Azienda"},
             {"p_data", 'D', 0, false, "Data Invio", "Data di invio comunicazione"},
             {"protoc", 'L', 0, false, "Protocollo", "N.ro protocollo invio comunicazione"},
             {"resple", 'A', 40, false, "Responsabile", "Nominativo del responsabile dell'invio"},
             {"datini", 'D', 0, true, "Data Inizio", "Data di inizio periodo"},
             {"datfin", 'D', 0, true, "Data Fine", "Data di fine periodo"},
         },
         {
             {"codice", true, {"codice"}, "Codice", "Indice di comodo"},
         }},
        {"regent",
         "Codici Regionali Enti",
         "Contiene la codificazione regionale degli Enti Concedenti",
         {
             {"codice", 'I', 0, true, "Codice", "Contiene il codice regionale dell'Ente Concedente"},
             {"denom", 'A', 40, true, "Denominazione", "Contiene la denominazione dell'Ente Concedente"},
         },
         {
             {"codice", true, {"codice"}, "Codici Regionali Enti", "Elenca gli Enti in ordine di codice regionale"},
         }},
        {"reglot",
         "Codici Regionali Lotti",
         "Contiene la codificazione regionale dei Lotti di Gara",
         {
             {"codice", 'I', 0, true, "Codice", "Contiene il codice regionale del Lotto di Gara"},
             {"denom", 'A', 40, true, "Denominazione", "Contiene la denominazione del Lotto di Gara"},
         },
         {
             {"codice", true, {"codice"}, "Codici Regionali Lotti", "Elenca i Lotti in ordine di codice regionale"},
         }},
        {"cadenz",
         "Tipo Cadenza Corse",
         "Contiene la codificazione dei tipi cadenza corse",
         {
             {"codice", 'A', 10, true, "Codice", "Contiene il codice della cadenza corsa"},
             {"denom", 'A', 60, true, "Denominazione", "Contiene la denominazione della cadenza corsa"},
         },
         {
             {"codice", true, {"codice"}, "Tipo Cadenza", "Elenca le cadenze corse in ordine di codice"},
         }},
        {"calend",
         "Calendario",
         "Contiene il calendario giornaliero per lo sviluppo del piano di esercizio",
         {
             {"data", 'D', 0, true, "Data", "Contiene la data del giorno di calendario"},
             {"caden", 'A', 10, true, "Cadenza Attiva", "Cadenza corsa valida per il giorno"},
             {"giorno", 'A', 1, true, "Giorno della Settimana", "Giorno della settimana (1=Lun/2=Mar/3=Mer/4=Gio/5=Ven/6=Sab/7=Dom"},
             {"note", 'A', 20, true, "Annotazioni", "Annotazioni (festività particolari etc.)"},
         },
         {
             {"codice", true, {"data", "caden"}, "Data", "Ordina il calendario per data"},
         }},
        {"tesstd",
         "corse standard",
         "Contiene le informazioni relative alle corse standard",
         {
             {"id", 'L', 0, true, "Identificativo Corsa", "Contiene l'identificativo univoco della corsa"},
             {"id_perc", 'L', 0, true, "ID percorso", "Contiene l'ID del percorso"},
         },
         {
             {"codice", true, {"id"}, "Corse standard", "Ordina le corse standard"},
         }},
        {"detstd",
         "corse standard",
         "Contiene le informazioni relative alle corse standard",
         {
             {"id", 'L', 0, true, "Identificativo Corsa", "Contiene l'identificativo univoco della corsa"},
             {"sub", 'I', 0, true, "Sub", "Contiene il progressivo riga"},
             {"fermata", 'L', 0, true, "ID fermata", "Contiene l'ID della fermata"},
             {"arriva", 'I', 0, true, "Arrivoa", "Indica il tempo di arrivo"},
             {"parte", 'I', 0, true, "Partenza", "Indica il tempo di partenza"},
             {"nonferma", 'B', 0, true, "non ferma", "indicatore fermata non effettuata"},
             {"fisso", 'B', 0, true, "tempo fisso", "indicatore tempo fisso"},
         },
         {
             {"codice", true, {"id", "sub"}, "Dettagli corse standard", "Ordina i dettagli delle corse standard"},
         }},
        {"corse",
         "Corsa",
         "Contiene le informazioni relative alle singole corse",
         {
             {"id", 'L', 0, true, "Id Corsa", "Contiene l'identificativo univoco della corsa"},
             {"codcorsa", 'A', 20, true, "Codice Corsa", "Contiene il codice aziendale della corsa"},
             {"codlinea", 'A', 10, true, "Codice Linea", "Contiene il codice aziendale della linea"},
             {"verso", 'A', 1, true, "Verso Linea", "Contiene il verso della linea (A=Andata; R=Ritorno)"},
             {"parte", 'I', 0, true, "Partenza Capolinea", "Indica il tempo di partenza dal capolinea iniziale"},
             {"ente", 'I', 0, true, "Codice Ente Gestore", "Contiene il codice dell'Ente gestore"},
             {"lung", 'F', 0, true, "Lunghezza (metri)", "Esprime la lunghezza totale del percorso (in metri)"},
             {"tempo", 'I', 0, true, "Tempo (minuti)", "Esprime il tempo totale di durata della corsa (in minuti)"},
             {"ct_lung", 'F', 0, true, "Lunghezza contrattuale", "Esprime la lunghezza del percorso (in metri) ai fini contrattuali"},
             {"ct_tempo", 'I', 0, true, "Tempo contrattuale", "Esprime il tempo di durata della corsa (in minuti) ai fini contrattuali"},
             {"id_perc", 'L', 0, true, "ID Percorso", "Contiene l'ID percorso"},
             {"standard", 'L', 0, true, "ID Corsa Standard", "Contiene l'ID corsa standard"},
             {"mezzo", 'A', 1, false, "Mezzo Utilizzato", "Contiene il codice del mezzo di trasporto utilizzato"},
             {"prevcor", 'L', 0, false, "ID Corsa Precedente", "Contiene l'ID della corsa precedente (prosecuzione)"},
             {"nextcor", 'L', 0, false, "Codice Corsa Successiva", "Contiene l'ID della corsa successiva (prosecuzione)"},
         },
         {
             {"codice", true, {"id"}, "Identificativo Corsa", "Ordina le corse per identificativo univoco"},
         }},
        {"extcod",
         "Corsa",
         "Contiene le informazioni relative alle singole corse",
         {
             {"id", 'L', 0, true, "Id Corsa", "Contiene l'identificativo univoco della corsa"},
             {"lotto", 'I', 0, true, "Codice Lotto", "Contiene il codice del Lotto di Gara"},
             {"aziges", 'I', 0, true, "Codice Azienda Gestione", "Contiene il codice dell'Azienda Gestione"},
             {"azisub", 'I', 0, true, "Codice Azienda Subappalto", "Contiene il codice dell'Azienda Subappalto"},
         },
         {
             {"codice", true, {"id"}, "Identificativo Corsa", "Ordina le corse per identificativo univoco"},
         }},
        {"period",
         "Periodi validità corse",
         "Contiene le informazioni relative ai periodi di validità delle singole corse",
         {
             {"id", 'L', 0, true, "Identificativo Corsa", "Contiene l'identificativo univoco della corsa"},
             {"caden", 'A', 10, true, "Cadenza", "Contiene il codice cadenza associato alla corsa"},
             {"inizio", 'D', 0, true, "Data inizio", "Contiene la data di inizio del periodo"},
             {"fine", 'D', 0, true, "Data fine", "Contiene la data di fine del periodo"},
             {"escluso", 'B', 0, true, "Periodo Escluso", "VERO indica un periodo di validità esclusa; FALSO indica un periodo di validità attiva"},
         },
         {
             {"codice", true, {"id", "inizio", "fine"}, "Identificativo Periodo", "Ordina i dettagli periodi validità corsa per identificativo univoco"},
         }},
        {"reglinee",
         "linee standard",
         "Contiene le informazioni relative alle linee standard",
         {
             {"lotto", 'I', 0, true, "Identificativo Lotto", "Contiene l'identificativo univoco del Lotto di Gara"},
             {"id", 'I', 0, true, "Identificativo Linea", "Contiene l'identificativo univoco della linea"},
             {"ente", 'I', 0, true, "Codice Ente", "Contiene il Codice Ente di riferimento"},
             {"sigla", 'A', 10, true, "Sigla Standard", "Contiene la sigla standard della linea"},
             {"denom", 'A', 40, false, "Descrizione", "Contiene la descrizione della linea"},
             {"itiner", 'A', 120, false, "Descrittore Percorso", "Contiene la descrizione sommaria del percorso della linea"},
         },
         {
             {"codice", true, {"lotto", "id"}, "Linee standard", "Ordina le linee standard"},
         }},
        {"reglklin",
         "corrispondenza linee",
         "Contiene le informazioni relative alle corrispondenze linee standard",
         {
             {"codlinea", 'A', 10, true, "Codice Linea", "Contiene il codice aziendale della linea"},
             {"lotto", 'I', 0, true, "Identificativo Lotto", "Contiene l'identificativo univoco del Lotto di Gara"},
             {"id", 'I', 0, true, "Identificativo Linea", "Contiene l'identificativo univoco della linea"},
         },
         {
             {"codice", true, {"codlinea"}, "Corrispondenza Linee", "Ordina le corrispondenze linee interna-standard"},
             {"linea", false, {"lotto", "id"}, "Linee Standard", "Ordina le linee Standard"},
         }},
    };
    return tables;
}

const std::vector<CatalogueRelation>& systemRelations() {
    static const std::vector<CatalogueRelation> relations = {
        {"calen_caden", "cadenz", "calend", {{"codice", "caden"}}},
        {"orari_standard", "tesstd", "detstd", {{"id", "id"}}},
        {"corse_itiner", "itiner", "corse", {{"id", "id_perc"}}},
        {"corse_standard", "tesstd", "corse", {{"id", "standard"}}},
        {"corse_enti", "regent", "corse", {{"codice", "ente"}}},
        {"standard_itiner", "itiner", "tesstd", {{"id", "id_perc"}}},
        {"standard_ferm", "fermate", "detstd", {{"id", "fermata"}}},
        {"period_corse", "corse", "period", {{"id", "id"}}},
        {"period_caden", "cadenz", "period", {{"codice", "caden"}}},
        {"corse_extcod", "corse", "extcod", {{"id", "id"}}},
        {"extcod_azi1", "regazi", "extcod", {{"codice", "aziges"}}},
        {"extcod_azi2", "regazi", "extcod", {{"codice", "azisub"}}},
        {"extcod_lotti", "reglot", "extcod", {{"codice", "lotto"}}},
        {"linee_lotti", "reglot", "reglinee", {{"codice", "lotto"}}},
        {"linee_enti", "regent", "reglinee", {{"codice", "ente"}}},
        {"lklinee_linee", "reglinee", "reglklin", {{"lotto", "lotto"}, {"id", "id"}}},
    };
    return relations;
}

// clang-format on

} // namespace tramela::store
