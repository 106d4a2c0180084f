! The element hydraulics and sizing formulas in single precision, written out
! on their own as the reference for the routines of the program.
!
! Usage: element_reference CASES OUT
!
! Each line of CASES names a routine and gives its arguments; OUT gets one
! line per case with the results in F16.4:
!   pipe D S N                          -> Q, S
!   pipes D S N COUNT MODEL             -> Q, S (COUNT pipes, MODEL 2: at 0.93 D)
!   box S B N H                         -> Q
!   trapezoid S Z B N Y                 -> Q
!   vee W H1 H2 N SB S Y                -> Q, N, S
!   street S Y CURB XC HW N LIP GW HIKE SIDES XO DCG XP NP -> Q, NP
!   sizepipe S Q N                      -> D, S
!   standardpipe Q                      -> D, NB
!   lookup SIZE F N TYPE                -> capacity (-1 when nothing)
!   standardsize Q H W INC CODE TYPE WIN -> height, width
!   box_size Q S G N MODE INC           -> G, X
!   trapezoid_size S Q Z FB N MODE V INC -> depth, V
!   normaldepth S Q Z B N               -> y
!   increment X INC                     -> x
program element_reference
  implicit none
  character(len=1024) :: cases_name, out_name
  character(len=400) :: line
  character(len=20) :: name
  integer :: inp, out, ios, sides, mode, inc, code, itype, nb
  real :: d, q, s, n, b, h, z, y, w, h1, h2, sb, curb, xc, hw, lip, gw, hike, xo, dcg, xp, np
  real :: g, x, fb, v, win, cap, f, rnb

  call get_command_argument(1, cases_name)
  call get_command_argument(2, out_name)
  open(newunit=inp, file=trim(cases_name), status='old', action='read')
  open(newunit=out, file=trim(out_name), status='replace', action='write')
  do
    read(inp, '(A)', iostat=ios) line
    if (ios /= 0) exit
    read(line, *) name
    select case (trim(name))
    case ('pipe')
      read(line, *) name, d, s, n
      call pipe_full(d, q, s, n)
      write(out, '(2F16.4)') q, s
    case ('pipes')
      read(line, *) name, d, s, n, f, mode
      call pipe_full(d, q, s, n)
      if (f > 1.0) q = q * f
      if (mode == 2) q = q * 1.076
      write(out, '(2F16.4)') q, s
    case ('box')
      read(line, *) name, s, b, n, h
      call box_full(s, q, b, n, h)
      write(out, '(F16.4)') q
    case ('trapezoid')
      read(line, *) name, s, z, b, n, y
      call trapezoid(s, q, z, b, n, y)
      write(out, '(F16.4)') q
    case ('vee')
      read(line, *) name, w, h1, h2, n, sb, s, y
      call vee(w, h1, h2, n, sb, s, q, y)
      write(out, '(3F16.4)') q, n, s
    case ('street')
      read(line, *) name, s, y, curb, xc, hw, n, lip, gw, hike, sides, xo, dcg, xp, np
      call street(s, y, curb, xc, hw, n, lip, gw, hike, sides, xo, dcg, q, xp, np)
      write(out, '(2F16.4)') q, np
    case ('sizepipe')
      read(line, *) name, s, q, n
      call size_pipe(s, q, d, nb, n)
      write(out, '(2F16.4)') d, s
    case ('standardpipe')
      read(line, *) name, q
      call standard_pipe(q, d, rnb)
      write(out, '(2F16.4)') d, rnb
    case ('lookup')
      read(line, *) name, h, f, n, itype
      cap = -1.0
      call lookup(h, f, n, cap, itype)
      write(out, '(F16.4)') cap
    case ('standardsize')
      read(line, *) name, q, h, w, inc, code, itype, win
      x = win
      call standard_size(q, h, w, inc, g, x, code, itype)
      write(out, '(2F16.4)') g, x
    case ('box_size')
      read(line, *) name, q, s, g, n, mode, inc
      call size_box(q, s, g, x, n, mode, inc)
      write(out, '(2F16.4)') g, x
    case ('trapezoid_size')
      read(line, *) name, s, q, z, fb, n, mode, v, inc
      call size_trapezoid(s, q, z, fb, n, y, mode, v, inc)
      write(out, '(2F16.4)') y, v
    case ('normaldepth')
      read(line, *) name, s, q, z, b, n
      call normal_depth(s, q, z, b, n, y)
      write(out, '(F16.4)') y
    case ('increment')
      read(line, *) name, x, inc
      call increment(x, inc)
      write(out, '(F16.4)') x
    case default
      write(out, '(A)') 'unknown case'
    end select
  end do
  close(inp)
  close(out)

contains

  real function manning(a, p, n, s)
    real, intent(in) :: a, p, n, s
    if (s <= 0.0) then
      manning = 0.0
    else
      manning = 1.486 / n * a * (a / p)**0.6667 * sqrt(s)
    end if
  end function

  subroutine pipe_full(d, q, s, n)
    real :: d, q, s, n, root, pw
    if (s <= 0.0) s = 0.002
    root = sqrt(s)
    pw = d**(8.0 / 3.0)
    q = 0.4631646 / n * pw * root
  end subroutine

  subroutine trapezoid(s, q, z, b, n, y)
    real :: s, q, z, b, n, y, a, p
    a = (z * y + b) * y
    p = b + 2.0 * y * sqrt(z**2 + 1.0)
    q = manning(a, p, n, s)
  end subroutine

  subroutine box_full(s, q, bw, n, h)
    real :: s, q, bw, n, h, a, p
    a = bw * h
    p = 2.0 * (bw + h)
    q = manning(a, p, n, s)
  end subroutine

  subroutine vee(w, h1, h2, n, sb, s, q, y)
    real :: w, h1, h2, n, sb, s, q, y, a1, p1, h0, spread, a, p
    if (s <= 0.0) s = 0.002
    if (n <= 0.0) n = 0.015
    if (y <= 0.0) then
      q = 0.0
      return
    end if
    a1 = h2 * w + 0.5 * w * h1
    p1 = 2.0 * h2 + 2.0 * sqrt(h1**2 + w**2 / 4.0)
    h0 = h1 + h2
    if (y < h0) then
      q = manning(a1, p1, n, s)
      return
    end if
    spread = (y - h0) / sb
    a = a1 + (y - h0) * w + 2.0 * 0.5 * spread * (y - h0)
    p = p1 + 2.0 * sqrt(spread**2 + (y - h0)**2)
    q = manning(a, p, n, s)
  end subroutine

  subroutine street(s, y, curb, xc, hw, sn, lip, gw, hike, sides, xo, dcg, q, xp, np)
    real :: s, y, curb, xc, hw, sn, lip, gw, hike, xo, dcg, q, xp, np
    integer :: sides
    real :: t0, yb, yc, wb, fo, fc, ag, pg, a, p, t, dy, ap, pp
    if (np <= 0.0) np = 0.02
    t0 = lip + hike
    yb = t0 + (hw - dcg - gw) * xo
    yc = yb + dcg * xc
    wb = hw - dcg
    fo = sqrt(1.0 + xo**2)
    fc = sqrt(1.0 + xc**2)
    ag = (2.0 * lip + hike) * gw / 2.0
    pg = 2.0 * lip + hike + sqrt(gw**2 + hike**2)
    if (y <= t0) then
      a = ag
      p = pg
    else if (y <= yb) then
      t = gw + (y - t0) / xo
      a = ag + (y - t0) * (t + gw) / 2.0
      p = pg + (y - t0) + fo * (y - t0) / xo
    else if (y <= yc) then
      t = wb + (y - yb) / xc
      a = ag + (yb - t0) * (wb + gw) / 2.0 + (y - yb) * (t + wb) / 2.0
      p = pg + (yb - t0) + fo * (yb - t0) / xo + (y - yb) + fc * (y - yb) / xc
    else
      a = ag + (yb - t0) * (wb + gw) / 2.0 + (yc - yb) * (wb + hw) / 2.0 + (y - yc) * hw
      p = pg + (yb - t0) + fo * (yb - t0) / xo + (y - yb) + fc * dcg
    end if
    if (y > curb) p = p - (y - curb)
    q = manning(a, p, sn, s)
    if (xp /= 0.0 .and. y > curb) then
      dy = y - curb
      ap = dy**2 / (2.0 * xp)
      pp = dy * sqrt(1.0 + 1.0 / xp**2)
      q = q + manning(ap, pp, np, s)
    end if
    q = q * real(sides)
  end subroutine

  subroutine size_pipe(s, q, d, nb, n)
    real :: s, q, d, n, dex, ri
    integer :: nb, k
    if (s <= 0.0) s = 0.002
    nb = 1
    if (q <= 0.0) then
      d = 0.0
      return
    end if
    dex = (q / sqrt(s) / 0.4631644 * n)**0.375
    ri = 12.0 * dex
    k = int(ri / 3.0)
    if (ri / 3.0 == aint(ri / 3.0)) then
      d = 3.0 * real(k) / 12.0
    else
      d = 3.0 * real(k + 1) / 12.0
    end if
    if (d > 8.0) then
      k = int(ri / 6.0)
      if (ri / 6.0 == aint(ri / 6.0)) then
        d = 6.0 * real(k) / 12.0
      else
        d = 6.0 * real(k + 1) / 12.0
      end if
    end if
  end subroutine

  ! The pipe table, diameter and the two capacity columns.
  subroutine pipe_table(dia, c14, c24)
    real :: dia(33), c14(33), c24(33)
    dia = (/ 1.0, 1.25, 1.5, 1.75, 2.0, 2.25, 2.5, 2.75, 3.0, 3.5, 4.0, 4.5, 5.0, 5.5, 6.0, 6.5, 7.0, 7.5, &
             8.0, 8.5, 9.0, 9.5, 10.0, 10.5, 11.0, 11.5, 12.0, 12.5, 13.0, 13.5, 14.0, 14.5, 15.0 /)
    c14 = (/ 7., 11., 16., 23., 30., 38., 47., 58., 70., 95., 130., 165., 210., 255., 310., 375., 440., 525., &
             600., 680., 780., 890., 990., 1100., 1200., 1350., 1450., 1600., 1800., 1950., 2100., 2300., 2400. /)
    c24 = (/ 7., 12., 17., 26., 32., 39., 48., 60., 72., 98., 132., 170., 215., 265., 325., 380., 445., 525., &
             600., 700., 790., 900., 1000., 1100., 1225., 1350., 1500., 1650., 1800., 1950., 2100., 2300., 2500. /)
  end subroutine

  subroutine box_table(ht, cpf)
    real :: ht(45), cpf(45)
    integer :: i
    do i = 1, 45
      ht(i) = 1.0 + 0.25 * real(i - 1)
    end do
    cpf = (/ 9.5, 11.5, 14.5, 17.5, 19.5, 22., 25., 27., 31., 33., 37., 39., 42., 45., 48., 52., 55., 58., &
             61., 64., 67., 70., 74., 77., 81., 84., 88., 92., 95., 99., 102., 106., 110., 114., 119., 122., &
             126., 130., 135., 138., 142., 145., 150., 155., 160. /)
  end subroutine

  ! Row by the table rule; 0 when above the last key.
  integer function row_of(keys, nrows, key)
    integer :: nrows, i
    real :: keys(nrows), key
    row_of = 0
    if (key <= keys(1)) then
      row_of = 1
      return
    end if
    do i = 1, nrows - 1
      if (keys(i) < key .and. key <= keys(i + 1)) then
        row_of = i + 1
        return
      end if
    end do
  end function

  real function table_diameter(qq)
    real :: qq, dia(33), c14(33), c24(33)
    integer :: r
    call pipe_table(dia, c14, c24)
    if (qq <= 7.0) then
      table_diameter = 1.0
      return
    end if
    r = row_of(c14, 33, qq)
    table_diameter = 0.0
    if (r > 0) table_diameter = dia(r)
  end function

  subroutine standard_pipe(q, d, rnb)
    real :: q, d, rnb, qq
    rnb = 1.0
    qq = q
    if (q > 2400.0) then
      rnb = aint(q / 2400.0) + 1.0
      qq = q / rnb
    end if
    d = table_diameter(qq)
    if (rnb == 1.0) rnb = 0.0
  end subroutine

  subroutine lookup(h, f, n, cap, itype)
    real :: h, f, n, cap, dia(33), c14(33), c24(33), ht(45), cpf(45)
    integer :: itype, r
    if (itype == 1) then
      call pipe_table(dia, c14, c24)
      if (n /= 0.014 .and. n /= 0.024) return
      r = row_of(dia, 33, h)
      if (r == 0) return
      if (n == 0.014) then
        cap = c14(r) * f
      else
        cap = c24(r) * f
      end if
    else if (itype == 2) then
      call box_table(ht, cpf)
      r = row_of(ht, 45, h)
      if (r == 0) return
      cap = cpf(r) * f
    end if
  end subroutine

  subroutine standard_size(q, he, we, inc, h, w, code, itype)
    real :: q, he, we, h, w, ht(45), cpf(45), bar, pp
    integer :: inc, code, itype, r
    h = 0.0
    if ((code == 37 .or. code == 47) .and. itype == 1) then
      if (code == 37) then
        bar = 1.0
        pp = q
        if (q > 2400.0) then
          bar = aint(q / 2400.0) + 1.0
          pp = q / bar
        end if
      else
        bar = max(we, 1.0)
        pp = q / bar
        if (pp > 2400.0) then
          bar = aint(q / 2400.0) + 1.0
          pp = q / bar
        end if
      end if
      h = table_diameter(pp)
      w = bar
      if (w == 1.0) w = 0.0
      return
    end if
    if ((code == 37 .or. code == 47) .and. itype == 2) then
      call box_table(ht, cpf)
      r = row_of(ht, 45, he)
      if (r > 0) then
        h = ht(r)
        w = q / cpf(r)
      end if
    end if
    call increment(h, inc)
    call increment(w, inc)
  end subroutine

  real function box_cap(k, g, x)
    real :: k, g, x, a, p
    a = g * x
    p = 2.0 * (g + x)
    box_cap = k * a * (a / p)**0.6667
  end function

  subroutine size_box(q, s, g, x, n, mode, inc)
    real :: q, s, g, x, n, k, r, c, lo, hi, xt, m, cp
    integer :: mode, inc, cnt
    k = 0.0
    if (s > 0.0) k = (1.486 / n) * sqrt(s)
    if (mode == 1) then
      if (q >= box_cap(k, g, 1000.0)) then
        x = 1000.0
        return
      end if
      lo = 0.0
      hi = 1000.0
      xt = 500.0
      do cnt = 1, 31
        cp = box_cap(k, g, xt)
        if (cp < q) then
          lo = xt
        else if (cp > q) then
          hi = xt
        else
          x = xt
          exit
        end if
        m = (lo + hi) / 2.0
        if (abs(xt - m) < 0.002) then
          x = (xt + m) / 2.0
          exit
        end if
        xt = m
        x = m
      end do
      call increment(x, inc)
    else
      r = g
      c = r * (r / (2.0 * (r + 1.0)))**0.667
      if (.not. (k * c > 0.0)) then
        g = 1000.0
        x = r * 1000.0
        return
      end if
      if (q > 0.0) then
        g = (q / (k * c))**0.375
      else
        g = 0.0
      end if
      x = r * g
      call increment(g, inc)
      call increment(x, inc)
    end if
  end subroutine

  real function ftest(s, q, z, b, y, n)
    real :: s, q, z, b, y, n, a, p
    if (s <= 0.0) then
      if (q > 0.0) then
        ftest = -1.0
      else
        ftest = 1.0
      end if
      return
    end if
    a = (z * y + b) * y
    p = b + 2.0 * y * sqrt(z**2 + 1.0)
    ftest = 1.0 - q * n * p**0.6667 / (1.486 * a**1.6667 * sqrt(s))
  end function

  ! Bisection of the channel solvers; which = 1 varies y with b = y / v,
  ! which = 2 varies b at depth v, which = 3 varies y at base width v.
  ! Returns the result and the last trial.
  subroutine channel_bisect(s, q, z, n, v, which, res, last)
    real :: s, q, z, n, v, res, last, lo, hi, t, m, f
    integer :: which, cnt
    lo = 0.0
    hi = 500.0
    t = 250.0
    cnt = 0
    do
      cnt = cnt + 1
      if (cnt > 30) exit
      last = t
      if (which == 1) then
        f = ftest(s, q, z, t / v, t, n)
      else if (which == 2) then
        f = ftest(s, q, z, t, v, n)
      else
        f = ftest(s, q, z, v, t, n)
      end if
      if (f < 0.0) then
        lo = t
      else if (f > 0.0) then
        hi = t
      else
        exit
      end if
      m = (lo + hi) / 2.0
      if (abs(t - m) < 0.002) then
        t = (t + m) / 2.0
        exit
      end if
      t = m
    end do
    res = t
  end subroutine

  subroutine normal_depth(s, q, z, b, n, y)
    real :: s, q, z, b, n, y, last
    call channel_bisect(s, q, z, n, b, 3, y, last)
  end subroutine

  subroutine size_trapezoid(s, q, z, fb, n, dr, mode, v, inc)
    real :: s, q, z, fb, n, dr, v, y, b, last
    integer :: mode, inc
    if (mode == 1) then
      call normal_depth(s, q, z, v, n, y)
      dr = y + fb
      call increment(dr, inc)
    else if (mode == 2) then
      call channel_bisect(s, q, z, n, v, 1, y, last)
      b = last / v
      dr = y + fb
      v = b
      call increment(dr, inc)
      call increment(v, inc)
    else
      y = v
      call channel_bisect(s, q, z, n, y, 2, b, last)
      if (mode == 0) then
        v = y + fb
        dr = b
      else
        v = b
        dr = y + fb
      end if
      call increment(v, inc)
      call increment(dr, inc)
    end if
  end subroutine

  subroutine increment(x, inc)
    real :: x, f, wh
    integer :: inc
    wh = aint(x)
    f = x - wh
    if (f <= 0.0) return
    select case (inc)
    case (2)
      if (f <= 0.25) then
        x = wh + 0.25
      else if (f <= 0.5) then
        x = wh + 0.5
      else if (f <= 0.75) then
        x = wh + 0.75
      else
        x = wh + 1.0
      end if
    case (3)
      if (f <= 0.5) then
        x = wh + 0.5
      else
        x = wh + 1.0
      end if
    case (4)
      x = wh + 1.0
    end select
  end subroutine

end program element_reference
