#pragma once
// Where the program finds its data files and where it keeps the files it writes, both in a
// build folder (everything beside the program) and in an installation (the program in
// <prefix>/bin, its data in <prefix>/share/vistrel, the user's files in the state folder).

#include <string>

namespace vistrel {

// The folder of the program's data files (language files, help pages, skins/bin), the
// expansion of "%data_path%": the program's own folder when it holds them, else the
// installation's share folder found relative to the program (<prefix>/share/vistrel for
// <prefix>/bin/vistrel) when that exists, else the program's folder. Computed once.
std::u16string data_folder();
// The same choice for a given program folder, not kept.
std::u16string locate_data_folder(const std::u16string& app_folder);

// The folder for the files the program writes for its user (the folder list), the
// expansion of "%state_path%": $VISTREL_STATE when it is absolute, else the program's folder
// when it holds its own data and can be written (a build folder), else
// $XDG_STATE_HOME/vistrel, else ~/.local/state/vistrel.
// Computed once; the folder is not created here.
std::u16string state_folder();
// The same choice for a given program folder and data folder, from the environment now.
std::u16string locate_state_folder(const std::u16string& app_folder,
                                   const std::u16string& data_folder);

// The folder list file of this run, made ready: "%state_path%/folders.ini", its folder
// created, and seeded with a list left beside the program by an earlier version when it
// has none yet. When the list cannot be kept (its folder cannot be created, the file is
// read-only) one line naming the file goes to standard error and the albums are not
// remembered; an existing list is still read.
std::u16string folder_list_path();

// One line saying what is wrong with the data folder (missing, unreadable, no language
// file, no skin), or empty text when it looks usable.
std::string data_folder_problem();

}  // namespace vistrel
