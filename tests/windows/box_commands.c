/* Another program's attempts on qbxsolo.exe's message box: the window
 * found by its caption, then the system commands a caption, a window menu or
 * the taskbar would send it, and ShowWindow and SetWindowPos calls that send
 * none. After each attempt the box is watched for a while; one line per
 * attempt:
 *
 *     ok <attempt>
 *     FAIL <attempt>: <what was seen>
 *
 * and, last, "client X Y W H": the box's client area on the screen.
 *
 *     box_commands.exe [CAPTION]        (default "QBXSolo")
 *
 * Exit 0 when every attempt left the box in place, 1 when one did not, 2 when
 * there is no such window. Built and run under Wine by the real-window
 * scenario of the Windows build. */

#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

/* How long each attempt is watched, and how long a sent command may keep
 * the box's thread (a move or size loop, a window menu waits for input). */
#define WATCH_MS 300
#define SEND_TIMEOUT_MS 1500

static HWND box;
static RECT place;
static int failures;

struct seen {
    int iconic, zoomed, hidden, moved, gone;
};

static int same_rect(const RECT* a, const RECT* b) {
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

static void look(struct seen* s) {
    RECT now;
    if (!IsWindow(box)) {
        s->gone = 1;
        return;
    }
    if (IsIconic(box)) s->iconic = 1;
    if (IsZoomed(box)) s->zoomed = 1;
    if (!IsWindowVisible(box)) s->hidden = 1;
    if (GetWindowRect(box, &now) && !same_rect(&now, &place)) s->moved = 1;
}

/* Adds to `why` the first visible window above the box, if any. */
static void window_above(char* why, size_t size) {
    HWND w;
    for (w = GetWindow(box, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV)) {
        RECT r;
        char caption[64] = "";
        if (!IsWindowVisible(w) || !GetWindowRect(w, &r) || r.right <= r.left || r.bottom <= r.top) continue;
        GetWindowTextA(w, caption, sizeof caption);
        snprintf(why + strlen(why), size - strlen(why), " below the window \"%s\";", caption);
        return;
    }
}

/* Watches the box for WATCH_MS: `during` gathers what was ever seen (a
 * command refused leaves no trace even for a moment), the state at the end
 * is judged on its own (what the box puts back must be back by then). */
static void judge(const char* attempt, int transient_allowed, int blocked) {
    struct seen during = {0}, after = {0};
    char why[512] = "";
    DWORD start = GetTickCount();
    do {
        look(&during);
        Sleep(5);
    } while (GetTickCount() - start < WATCH_MS);
    look(&after);
    if (blocked) strcat(why, " the command kept the box's thread past its time (a loop or menu ran);");
    if (after.gone) {
        strcat(why, " the box is gone;");
    } else {
        LONG ex = GetWindowLongW(box, GWL_EXSTYLE);
        if (after.iconic) strcat(why, " minimised at the end;");
        if (after.zoomed) strcat(why, " maximised at the end;");
        if (after.hidden) strcat(why, " hidden at the end;");
        if (after.moved) strcat(why, " moved or resized at the end;");
        if (!transient_allowed) {
            if (during.iconic && !after.iconic) strcat(why, " minimised for a moment;");
            if (during.zoomed && !after.zoomed) strcat(why, " maximised for a moment;");
            if (during.hidden && !after.hidden) strcat(why, " hidden for a moment;");
            if (during.moved && !after.moved) strcat(why, " moved for a moment;");
        }
        if (!(ex & WS_EX_TOPMOST)) strcat(why, " not topmost;");
        if (GetForegroundWindow() != box) strcat(why, " not the foreground window;");
        window_above(why, sizeof why);
    }
    if (why[0]) {
        failures++;
        printf("FAIL %s:%s\n", attempt, why);
    } else {
        printf("ok %s\n", attempt);
    }
    fflush(stdout);
}

/* Sends a system command as a caption button or the taskbar does; returns
 * whether the box's thread was still busy with it after SEND_TIMEOUT_MS.
 * A command still running (a move loop, a menu) is ended with Escape. */
static int send_command(WPARAM command, LPARAM lparam) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(box, WM_SYSCOMMAND, command, lparam, SMTO_NORMAL, SEND_TIMEOUT_MS, &answer)) return 0;
    PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(box, WM_KEYUP, VK_ESCAPE, 0);
    Sleep(300);
    return 1;
}

int main(int argc, char** argv) {
    wchar_t caption[128] = L"QBXSolo";
    DWORD start = GetTickCount();
    POINT origin = {0, 0};
    RECT client;
    if (argc > 1) MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, caption, 128);
    while (!(box = FindWindowW(NULL, caption)) || !IsWindowVisible(box)) {
        if (GetTickCount() - start > 5000) {
            printf("no visible window captioned %s\n", argc > 1 ? argv[1] : "QBXSolo");
            return 2;
        }
        Sleep(20);
    }
    GetWindowRect(box, &place);

    judge("SC_MINIMIZE sent", 0, send_command(SC_MINIMIZE, 0));
    PostMessageW(box, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    judge("SC_MINIMIZE posted", 0, 0);
    judge("SC_MAXIMIZE sent", 0, send_command(SC_MAXIMIZE, 0));
    /* A caption double-click: maximise, with the caption's hit-test code. */
    judge("SC_MAXIMIZE by the caption", 0, send_command(SC_MAXIMIZE | HTCAPTION, 0));
    judge("SC_MOVE sent", 0, send_command(SC_MOVE, 0));
    judge("SC_SIZE sent", 0, send_command(SC_SIZE, 0));
    judge("SC_KEYMENU (the window menu)", 0, send_command(SC_KEYMENU, VK_SPACE));
    judge("SC_CLOSE sent", 0, send_command(SC_CLOSE, 0));
    /* No system command: Windows itself minimises, hides, lowers, moves or
     * resizes the box, which must come back on its own. */
    ShowWindow(box, SW_MINIMIZE);
    judge("ShowWindow(SW_MINIMIZE), put back", 1, 0);
    ShowWindow(box, SW_HIDE);
    judge("ShowWindow(SW_HIDE), put back", 1, 0);
    SetWindowPos(box, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    judge("SetWindowPos(HWND_BOTTOM), put back", 1, 0);
    SetWindowPos(box, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    judge("SetWindowPos(HWND_NOTOPMOST), put back", 1, 0);
    SetWindowPos(box, NULL, 10, 10, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    judge("SetWindowPos moved and resized, put back", 1, 0);

    if (IsWindow(box) && GetClientRect(box, &client) && ClientToScreen(box, &origin))
        printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    return failures ? 1 : 0;
}
