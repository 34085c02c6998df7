#include "app/app_state.h"

app_state_record app_state;
char open_path[path_buffer_size];
char save_path[path_buffer_size];
