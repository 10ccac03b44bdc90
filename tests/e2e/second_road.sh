# The existing-project road, sourced by wizard_setup.sh once the capture road
# has left its project file and package in the capture prefix, on that
# machine: one captured file has moved since the capture. second_road.exe opens the project in the wizard, repairs
# the entry with "Update Files", lets Next rewrite the project and builds a
# package on the Build MSI page with the stored shortcut renamed, moved from
# the desktop to the quick launch bar and given the program's own icon.
step "the existing-project road"
mkdir -p "$(drive_c capture)/moved" "$(drive_c capture)/out2"
mv "$(drive_c capture)/Program Files/Corvane Full/App/readme.txt" "$(drive_c capture)/moved/"
cp "$BUILD/tests/second_road.exe" "$(drive_c capture)/corvane/"
rc=0
(cd "$(drive_c capture)/corvane" &&
  in_prefix capture xvfb-run -a wine 'C:\corvane\second_road.exe' --gtest_color=no \
    'C:\out\Packages\CorvaneFull_1.0.xml' 'C:\Program Files\Corvane Full\App\readme.txt' 'C:\moved' 'C:\out2' \
    'C:\corvane\CorvaneRepackager.exe' </dev/null) >"$WORK/capture/second-road.txt" 2>&1 || rc=$?
tr -d '\r' <"$WORK/capture/second-road.txt"
[ "$rc" = 0 ] || { fail "the existing-project road ended with $rc"; finish; }
msi2="$(drive_c capture)/out2/Packages/CorvaneFull.msi"
check test -f "$msi2"
check grep -q 'moved' "$project"
step "the edited shortcut in the second package"
check test "$(msiinfo export "$msi2" Shortcut | tail -n +4 | cut -f2,3,9 | tr -d '\r' | sort)" = \
  $'ProgramMenuFolder\tRemover\tIcon1\nQuickLaunchFolder\tRemover\tIcon1'
rm -rf "$WORK/streams2" && mkdir -p "$WORK/streams2"
(cd "$WORK/streams2" && msidump -s "$msi2" >/dev/null)
check cmp "$WORK/streams2/_Streams/Icon.Icon1" "$(drive_c capture)/out2/shortcut-icon.ico"
check not cmp -s "$WORK/streams2/_Streams/Icon.Icon1" "$WORK/streams/_Streams/Icon.Icon1"
step "install the second package"
new_prefix target2
cp "$msi2" "$(drive_c target2)/package.msi"
rc=0
in_prefix target2 wine msiexec /i 'C:\package.msi' /qn /l*v 'C:\install.log' </dev/null || rc=$?
check test "$rc" = 0
check cmp "$(drive_c target2)/moved/readme.txt" "$(drive_c capture)/moved/readme.txt"
links=$(cd "$(drive_c target2)" && find -L . -iname 'Remover.lnk' 2>/dev/null | sort)
echo "$links"
check grep -qi '/Start Menu/Programs/Remover.lnk' <<<"$links"
check grep -qi '/Quick Launch/Remover.lnk' <<<"$links"
check not grep -qi '/Desktop/Remover.lnk' <<<"$links"
