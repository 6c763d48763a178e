/*
 * Probe: does libgensio's telnet(rfc2217) client pair server answers with
 * the right pending request when an earlier SET-CONTROL (DTR) stays
 * unanswered?  Usage: gensio_rfc2217_probe PORT [SHOWCMD]
 * SHOWCMD (optional) is run through system() after each set, to print the
 * termios the served device really has.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <gensio/gensio.h>
#include <gensio/sergensio.h>
#include <gensio/gensio_os_funcs_public.h>

static struct gensio_os_funcs *o;
static const char *showcmd;
static struct timespec t0;

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (t.tv_sec - t0.tv_sec) + (t.tv_nsec - t0.tv_nsec) / 1e9;
}

static int event_cb(struct gensio *io, void *user_data, int event, int err,
                    unsigned char *buf, gensiods *buflen,
                    const char *const *auxdata)
{
    /* Incoming data from the line is consumed and dropped; RFC 2217
     * answers are handled inside the telnet layer, which only parses input
     * while reading is enabled. */
    if (event == GENSIO_EVENT_READ)
        return 0;   /* *buflen left as is: all consumed */
    return GE_NOTSUP;
}

static void show(void)
{
    if (showcmd) {
        fflush(stdout);
        if (system(showcmd) != 0)
            printf("    (show command failed)\n");
    }
}

/* Completion of the non-blocking DTR request (scenarios C and D). */
static void dtr_done(struct sergensio *sio, int err, unsigned int val,
                     void *cb_data)
{
    printf("  [%6.3fs] async DTR callback: err=%d (%s) val=%u"
           " (expected val %u = DTR on)\n", now(), err,
           err ? gensio_err_to_str(err) : "ok", val, SERGENSIO_DTR_ON);
}

typedef int (*setfn)(struct sergensio_b *, int *);

static void do_set(struct sergensio_b *sb, const char *name, setfn fn,
                   int req)
{
    int v = req;
    double s = now();
    int err = fn(sb, &v);
    double e = now();
    if (err)
        printf("  [%6.3fs] %-10s request=%-6d -> err=%d (%s), no value"
               "  took %.3f s\n", e, name, req, err, gensio_err_to_str(err),
               e - s);
    else
        printf("  [%6.3fs] %-10s request=%-6d -> ok, reported=%d"
               "  took %.3f s%s\n", e, name, req, v, e - s,
               v != req ? "   <-- WRONG VALUE" : "");
    show();
}

static int run(const char *title, int port, int dtr_mode)
{
    char str[128];
    struct gensio *io;
    struct sergensio *sio;
    struct sergensio_b *sb;
    int err;

    printf("\n=== %s ===\n", title);
    clock_gettime(CLOCK_MONOTONIC, &t0);
    snprintf(str, sizeof(str), "telnet(rfc2217),tcp,127.0.0.1,%d", port);
    err = str_to_gensio(str, o, event_cb, NULL, &io);
    if (err) { printf("str_to_gensio: %s\n", gensio_err_to_str(err)); return 1; }
    err = gensio_open_s(io);
    if (err) { printf("open: %s\n", gensio_err_to_str(err)); return 1; }
    printf("  [%6.3fs] opened %s\n", now(), str);
    gensio_set_read_callback_enable(io, true);
    sio = gensio_to_sergensio(io);
    if (!sio) { printf("not a sergensio\n"); return 1; }
    err = sergensio_b_alloc(sio, o, &sb);
    if (err) { printf("sergensio_b_alloc: %s\n", gensio_err_to_str(err)); return 1; }

    if (dtr_mode == 1) {
        /* Blocking DTR first: the call itself waits for the answer. */
        do_set(sb, "dtr_b", sergensio_dtr_b, SERGENSIO_DTR_ON);
    } else if (dtr_mode == 2) {
        /* DTR sent without waiting, as a client does that raises DTR at
         * open and goes straight on to configure the line. */
        err = sergensio_dtr(sio, SERGENSIO_DTR_ON, dtr_done, NULL);
        printf("  [%6.3fs] sergensio_dtr(ON) sent, not waited for: err=%d\n",
               now(), err);
    }
    if (dtr_mode == 3) {
        err = sergensio_dtr(sio, SERGENSIO_DTR_ON, dtr_done, NULL);
        printf("  [%6.3fs] sergensio_dtr(ON) sent, not waited for: err=%d\n",
               now(), err);
        /* Reverse order: an answer whose value lies inside the DTR
         * request's range (7..9) is skipped over, one outside is not. */
        do_set(sb, "datasize_b", sergensio_datasize_b, 7);
        do_set(sb, "baud_b", sergensio_baud_b, 19200);
    } else {
        do_set(sb, "baud_b", sergensio_baud_b, 19200);
        do_set(sb, "datasize_b", sergensio_datasize_b, 7);
    }

    sergensio_b_free(sb);
    gensio_close_s(io);
    gensio_free(io);
    return 0;
}

int main(int argc, char **argv)
{
    struct gensio_os_proc_data *proc;
    int port, err, rv = 0;

    if (argc < 2) { fprintf(stderr, "usage: %s PORT [SHOWCMD]\n", argv[0]); return 2; }
    port = atoi(argv[1]);
    showcmd = argc > 2 ? argv[2] : NULL;
    setvbuf(stdout, NULL, _IOLBF, 0);

    err = gensio_default_os_hnd(GENSIO_DEF_WAKE_SIG, &o);
    if (err) { fprintf(stderr, "os_hnd: %s\n", gensio_err_to_str(err)); return 1; }
    err = gensio_os_proc_setup(o, &proc);
    if (err) { fprintf(stderr, "proc_setup: %s\n", gensio_err_to_str(err)); return 1; }

    rv |= run("A: control, no DTR request (baud 19200, then datasize 7)", port, 0);
    rv |= run("B: blocking sergensio_dtr_b(ON) first, then baud, datasize", port, 1);
    rv |= run("C: sergensio_dtr(ON) not waited for, then baud, datasize", port, 2);
    rv |= run("D: sergensio_dtr(ON) not waited for, then datasize, baud", port, 3);
    rv |= run("A again: control after the DTR runs", port, 0);

    gensio_os_proc_cleanup(proc);
    gensio_os_funcs_free(o);
    return rv;
}
