# Sourced by the end-to-end runners: makes the run folder of scenario $scenario under the name
# $name (the program, the virtual printers' DLLs, the catalogue and the firmware images) and a Wine
# prefix of its own. Needs $build, $scenario, $name and $root, and takes $exe when set (another
# Sarnok.exe than the build's); sets $run, $bin, $exe, $wine_run.
bin=$build/sim/bin
exe=${exe:-$build/src/platform/win32/Sarnok.exe}
run=$build/e2e-runs/$name
rm -rf "$run"
mkdir -p "$run"
cp "$exe" ${extra_programs:-} "$bin"/{sarnok_sim.dll,ORN_API.dll,ORN_API.bak,DODAVED.DLL,VIZUVUV.DLL,winspool.drv} "$run"/
cp "$scenario/sim-scenario.txt" "$run"/
[ -f "$scenario/firmwareInfo.ini" ] && cp "$scenario/firmwareInfo.ini" "$run"/
if [ -f "$scenario/dlls.txt" ]; then
    while read -r verb what; do
        case "$verb" in
            remove) rm -f "$run/$what" ;;
            use) cp "$bin/$what" "$run"/ ;;
            on-path)
                # Not beside the program but in a folder on Wine's PATH.
                mkdir -p "$run/on-path"
                mv "$run/$what" "$run/on-path/"
                export WINEPATH="Z:${run//\//\\}\\on-path"
                ;;
            ''|'#'*) ;;
            *) echo "dlls.txt: unknown line: $verb $what"; exit 2 ;;
        esac
    done < "$scenario/dlls.txt"
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winspool.drv=n"
wine_run=$root/scripts/wine-run

# A new prefix takes Wine some 15 s to make and is 1.3 GB, nearly all of it libraries that a run
# only reads. So one is made per build tree, and each scenario gets a hard-linked copy of it, with
# real copies of the files Wine writes back (the registry and the prefix's update stamp).
template=$build/e2e-wineprefix
SARNOK_WINEPREFIX=$template "$wine_run" --prefix-only "$exe"
export SARNOK_WINEPREFIX=$build/e2e-prefixes/$name
export WINEPREFIX=$SARNOK_WINEPREFIX
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
cp -al "$template" "$WINEPREFIX"
for file in "$template"/*.reg "$template"/.update-timestamp; do
    [ -f "$file" ] && cp --remove-destination -p "$file" "$WINEPREFIX/"
done
rm -f "$WINEPREFIX/.lock"

if [ -f "$scenario/firmware.txt" ]; then
    while read -r file model version size flag; do
        [ -z "$file" ] || [ "${file:0:1}" = '#' ] && continue
        # Model names are written with "_" for blanks.
        (cd "$run" && "$wine_run" "$bin/sarnok_mkfw.exe" "$file" "${model//_/ }" "$version" "$size")
        [ "$flag" = readonly ] && chmod a-w "$run/$file"
        if [ "$flag" = damaged ]; then truncate -s -1000 "$run/$file"; fi
    done < "$scenario/firmware.txt"
fi
touch "$run/thandler.dat"
