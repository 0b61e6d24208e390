#!/bin/sh
# A private CUPS queue "PDF" (cups-pdf) that writes every job as a PDF file into a test folder.
#
#   cups_pdf_queue.sh start <outdir>   adds the queue (and starts cupsd when it is not running)
#   cups_pdf_queue.sh stop             removes the queue and undoes everything start did
#
# Exit codes: 0 done, 2 not root, 3 CUPS or cups-pdf not installed, 4 a queue "PDF" that is not
# ours exists, 5 cupsd or lpadmin failed. Messages go to stderr.
set -u
# The tools' messages are parsed ("is running"): untranslated, whatever the caller's locale.
export LC_ALL=C

QUEUE=PDF
CONF=/etc/cups/cups-pdf-$QUEUE.conf
PPD=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
STATE=${GLIMORA_CUPS_STATE:-/tmp/glimora-cups-pdf-queue.state}
# Folders cupsd writes into; files it creates there are removed again when we started it.
CUPS_DIRS="/etc/cups /var/cache/cups /var/spool/cups /var/log/cups /run/cups"
PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH

die() { code=$1; shift; echo "cups_pdf_queue: $*" >&2; exit "$code"; }

scheduler_running() { lpstat -r 2>/dev/null | grep -q "is running"; }

list_files() {
    for d in $CUPS_DIRS; do
        [ -d "$d" ] && find "$d" \( -type f -o -type d \) 2>/dev/null
    done | sort
}

start() {
    outdir=${1:-}
    [ -n "$outdir" ] || die 1 "usage: $0 start <outdir>"
    [ "$(id -u)" -eq 0 ] || die 2 "must run as root"
    for tool in cupsd lpadmin lpstat cancel; do
        command -v "$tool" >/dev/null 2>&1 || die 3 "$tool is not installed"
    done
    [ -x /usr/lib/cups/backend/cups-pdf ] || die 3 "the cups-pdf backend is not installed"
    [ -f /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd ] || die 3 "the cups-pdf PPD is not installed"
    [ -e "$STATE" ] && stop
    mkdir -p "$STATE" || die 5 "cannot create $STATE"

    list_files >"$STATE/files.before"
    if [ -e "$CONF" ]; then cp -p "$CONF" "$STATE/conf.backup" || die 5 "cannot save $CONF"; fi

    mkdir -p "$outdir" && chmod 0777 "$outdir" || die 5 "cannot create $outdir"
    # cups-pdf reads /etc/cups/cups-pdf-<queue>.conf for the device URI cups-pdf:/<queue>.
    printf 'Out %s\nAnonDirName %s\n' "$outdir" "$outdir" >"$CONF" || die 5 "cannot write $CONF"

    if ! scheduler_running; then
        setsid cupsd -f </dev/null >/dev/null 2>&1 &
        echo $! >"$STATE/cupsd.pid"
        i=0
        until scheduler_running; do
            i=$((i + 1))
            if [ $i -gt 100 ] || ! kill -0 "$(cat "$STATE/cupsd.pid")" 2>/dev/null; then
                stop; die 5 "cupsd did not start"
            fi
            sleep 0.05
        done
    fi

    if lpstat -v "$QUEUE" >/dev/null 2>&1; then
        : >"$STATE/foreign-queue"
        stop; die 4 "a queue named $QUEUE exists already"
    fi
    # pdftocairo keeps the text extractable; abort-job keeps a failed job from stalling the queue.
    if ! lpadmin -p "$QUEUE" -E -v "cups-pdf:/$QUEUE" -m "$PPD" \
            -o pdftops-renderer-default=pdftocairo -o printer-error-policy=abort-job 2>"$STATE/lpadmin.err"; then
        cat "$STATE/lpadmin.err" >&2
        stop; die 5 "lpadmin failed"
    fi
    : >"$STATE/queue-added"
}

stop() {
    [ -d "$STATE" ] || return 0
    if [ -e "$STATE/queue-added" ]; then
        cancel -a -x "$QUEUE" >/dev/null 2>&1
        lpadmin -x "$QUEUE" >/dev/null 2>&1
    fi
    if [ -e "$STATE/conf.backup" ]; then
        cp -p "$STATE/conf.backup" "$CONF"
    else
        rm -f "$CONF"
    fi
    if [ -e "$STATE/cupsd.pid" ]; then
        pid=$(cat "$STATE/cupsd.pid")
        if kill "$pid" 2>/dev/null; then
            i=0
            while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do i=$((i + 1)); sleep 0.05; done
        fi
        # The scheduler we started is gone: remove what it created.
        list_files >"$STATE/files.after"
        comm -13 "$STATE/files.before" "$STATE/files.after" | sort -r | while IFS= read -r f; do
            if [ -d "$f" ]; then rmdir "$f" 2>/dev/null; else rm -f "$f"; fi
        done
    fi
    rm -rf "$STATE"
}

case "${1:-}" in
    start) shift; start "$@" ;;
    stop) stop ;;
    *) die 1 "usage: $0 start <outdir> | stop" ;;
esac
