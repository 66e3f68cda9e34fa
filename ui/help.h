// Help pages live in the "Help" folder beside the program: topic + ".html".
#pragma once

// Opens the page of `topic` with the shell's default action.
void OpenHelpTopic(const char* topic);
