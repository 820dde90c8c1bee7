// The built-in English texts of the interface, by key, in table order.

#include "settings/text_table.h"

#include <utility>

namespace {

// One row of the table: either a text of its own, or the key whose text it repeats.
struct TextRow {
    const char* key;
    const char16_t* text;
    const char* copyOf;
};

constexpr TextRow builtInRows[] = {
    {"name", u"", nullptr},
    {"jan", u"January", nullptr},
    {"feb", u"February", nullptr},
    {"mar", u"March", nullptr},
    {"apr", u"April", nullptr},
    {"may", u"May", nullptr},
    {"jun", u"June", nullptr},
    {"jul", u"July", nullptr},
    {"aug", u"August", nullptr},
    {"sep", u"September", nullptr},
    {"oct", u"October", nullptr},
    {"nov", u"November", nullptr},
    {"dec", u"December", nullptr},
    {"tabW", u"Work", nullptr},
    {"tabP", u"Polygon", nullptr},
    {"tabS", u"Setting", nullptr},
    {"tip", u"Helps", nullptr},
    {"esc", u"Exit on ESC", nullptr},
    {"ton", u"Sound", nullptr},
    {"rez", u"To do backup copies", nullptr},
    {"hek", u"Reset CheckBox", nullptr},
    {"but7", u"To find and replace", nullptr},
    {"but9", u"Save", nullptr},
    {"but0", u"Delete", nullptr},
    {"txt5", u"What to search", nullptr},
    {"txt6", u"Than to replace", nullptr},
    {"txt7", u"In what to search", nullptr},
    {"txt8", u"It is changed files", nullptr},
    {"txt9", u"Concurrences it is Not found", nullptr},
    {"pop1", u"To clear And Insert", nullptr},
    {"pop2", u"Paste", nullptr},
    {"pop3", u"Select All", nullptr},
    {"pop4", u"Copy", nullptr},
    {"pop5", u"Copy All", nullptr},
    {"pop6", u"Keep in buffer", nullptr},
    {"pop7", u"Insert from buffer", nullptr},
    {"tit1", u"To include / to switch off standard helps", nullptr},
    {"tit2", u"To allow / to forbid closing of the program on key ESC", nullptr},
    {"tit3", u"To allow to cheep to the program", nullptr},
    {"tit4", u"To reset CheckBox before new search", nullptr},
    {"tit5", u"To choose a folder for backup copies", nullptr},
    {"tit6", u"To use regular expressions", nullptr},
    {"tit7", u"To consider or not the register of symbols", nullptr},
    {"tit8", u"To delete an empty line", nullptr},
    {"tit9", nullptr, "tit6"},
    {"tit10", nullptr, "tit7"},
    {"tit11", nullptr, "tit8"},
    {"tit12", u"Add files", nullptr},
    {"tit13", u"Add folders", nullptr},
    {"tit14", u"To search in files with expansion", nullptr},
    {"tit15", nullptr, "tit14"},
    {"tit16", nullptr, "tit14"},
    {"tit17", nullptr, "tit14"},
    {"tit18", u"On a clique to copy in the same working editor", nullptr},
    {"tit19", u"On a clique to copy in the same editor of range", nullptr},
    {"tit20", nullptr, "tit18"},
    {"tit21", nullptr, "tit19"},
    {"err", u"Mistake", nullptr},
    {"err0", u"It was not possible to create the Folder.", nullptr},
    {"err1", u"Field for search empty.", nullptr},
    {"err2", u"For not clear reason regular expression was not created.", nullptr},
    {"err3", u"Below there should be a description of a mistake in English.", nullptr},
    {"err4", u"On the specified way there are no necessary files", nullptr},
    {"err5", u"For removal of an empty line it is necessary to use regular expressions", nullptr},
    {"txt10", u"Not changed because of an error:", nullptr},
    {"err6", u"The encoding of this file is not supported (UTF-16 BE or UTF-32).", nullptr},
    {"err7", u"The backup folder must not hold the files to be changed.", nullptr},
    {"lin", u"Keep line ends", nullptr},
    {"txt11", u"Code page of files without a mark", nullptr},
    {"tit22", u"To write each line of a changed file with its own line end (CR LF, LF or CR) instead of CR LF", nullptr},
    {"tit23", u"The character set in which files without a byte-order mark are read and written", nullptr},
    {"txt12", u"File name pattern", nullptr},
    {"txt13", u"Interface language", nullptr},
    {"txt14", u"File list", nullptr},
    {"und1", u"Undo last run", nullptr},
    {"tit25", u"To put back the files changed by the last run from the backup folder", nullptr},
    {"und2", u"Put back from the backup copies the files changed by the last run? Files:", nullptr},
    {"und3", u"Restored files", nullptr},
    {"und4", u"Cancel", nullptr},
    {"err8", u"The journal of the last run is damaged: nothing was restored.", nullptr},
    {"pre1", u"Preview", nullptr},
    {"tit26", u"To show what a run would change in every file, without writing anything", nullptr},
    {"pre2", u"Changes", nullptr},
    {"pre3", u"Changes in", nullptr},
    {"pre4", u"Changes not shown:", nullptr},
    {"err9", u"Another run or undo is using the backup folder: nothing was done.", nullptr},
    {"und5", u"The run that wrote the journal did not finish (or its journal was cut short). Files in the journal:",
     nullptr},
    {"err10", u"The choice lies inside version-control metadata (.git and the like), which the program never changes.",
     nullptr},
    {"stp1", u"Stop", nullptr},
    {"stp2", u"The run was stopped.", nullptr},
    {"stp3", u"The undo was stopped.", nullptr},
    {"rsn1", u"It could not be read.", nullptr},
    {"rsn2", u"Its path is longer than the system can open.", nullptr},
    {"rsn3", u"Writing it back would change bytes that were not replaced (a zero byte, or bytes its code page cannot hold).", nullptr},
    {"rsn4", u"It is read-only, or its folder may not be written.", nullptr},
    {"rsn5", u"Another program has it locked.", nullptr},
    {"rsn6", u"It has other names (hard links), which would keep the old text.", nullptr},
    {"rsn7", u"It was changed by another program during the run.", nullptr},
    {"rsn8", u"Its backup copy could not be made.", nullptr},
    {"rsn9", u"There is not enough memory for it.", nullptr},
    {"rsn10", u"The regular expression took too long on it (match limit).", nullptr},
    {"rsn11", u"Its new contents could not be written.", nullptr},
    {"rsn12", u"There is no room left on the device.", nullptr},
    {"rsn13", u"It was edited after the run.", nullptr},
    {"rsn14", u"It is not there any more.", nullptr},
    {"rsn15", u"Its backup copy is missing.", nullptr},
    {"rsn16", u"Its backup copy is not the one the run made.", nullptr},
    {"rsn17", u"It could not be written safely.", nullptr},
};

}  // namespace

void buildTextTable(TextMap& defaultTexts) {
    for (const TextRow& row : builtInRows) {
        // A copy takes the text its source holds right now; copy it out before inserting,
        // since inserting may move the map's entries.
        Text text = row.copyOf ? Text(defaultTexts.get(row.copyOf)) : Text(row.text);
        defaultTexts[row.key] = std::move(text);
    }
}
