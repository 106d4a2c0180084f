! Writes or reads a model results file as sequential unformatted records.
!
! results_file write FILE  < groups
!   stdin: the number of groups, then one line per group:
!   upstream downstream code n m extra tc subarea total travel
!   (n triples in record 3, m records 7, extra values beyond the listed ones
!   in records 2, 4 and 5; every untaken value is a marker, not 0).
! results_file read FILE
!   prints one line per group: the bit patterns of upstream, downstream,
!   time of concentration, subarea area, total area and travel time, and the
!   process code.
program results_file
  implicit none
  character(len=8) :: mode
  character(len=1024) :: path
  integer :: groups, g, n, m, extra, i, j, code, status, tag
  real :: up, down, tc, sub, total, travel, one
  real :: r2(60), r4(60), r5(60), triples(600), row(4)

  call get_command_argument(1, mode)
  call get_command_argument(2, path)

  if (trim(mode) == 'write') then
    open(10, file=path, form='unformatted', access='sequential', status='replace')
    read(*, *) groups
    do g = 1, groups
      read(*, *) up, down, code, n, m, extra, tc, sub, total, travel
      one = 7.0
      write(10) one
      do i = 1, 60
        r2(i) = 1000.0 + i
        r4(i) = 2000.0 + i
        r5(i) = 3000.0 + i
      end do
      r2(1) = up
      r2(2) = down
      r2(3) = transfer(code, 1.0)
      r2(8) = transfer(n, 1.0)
      r2(22) = transfer(22, 1.0)
      r2(29) = transfer(29, 1.0)
      r2(38) = transfer(38, 1.0)
      write(10) (r2(i), i = 1, 40 + extra)
      write(10) (real(j), j = 1, 3 * n)
      r4(3) = tc
      r4(4) = sub
      r4(6) = total
      r4(17) = travel
      r4(13) = transfer(13, 1.0)
      r4(24) = transfer(24, 1.0)
      r4(26) = transfer(26, 1.0)
      write(10) (r4(i), i = 1, 26 + extra)
      r5(19) = transfer(19, 1.0)
      r5(20) = transfer(20, 1.0)
      write(10) (r5(i), i = 1, 20 + extra)
      write(10) m
      do i = 1, m
        tag = i
        write(10) tag, 1.0, 2.0, 3.0, 4.0
      end do
      do i = 1, 55
        tag = 100 + i
        write(10) tag, 5.0, 6.0, 7.0, 8.0
      end do
    end do
    close(10)
  else
    open(10, file=path, form='unformatted', access='sequential', status='old')
    do
      read(10, iostat=status) one
      if (status /= 0) exit
      read(10) (r2(i), i = 1, 40)
      code = transfer(r2(3), 1)
      n = transfer(r2(8), 1)
      read(10) (triples(i), i = 1, 3 * n)
      read(10) (r4(i), i = 1, 26)
      read(10) (r5(i), i = 1, 20)
      read(10) m
      do i = 1, m
        read(10) tag, row
      end do
      do i = 1, 55
        read(10) tag, row
      end do
      write(*, '(6(I12,1X),I6)') transfer(r2(1), 1), transfer(r2(2), 1), transfer(r4(3), 1), &
        transfer(r4(4), 1), transfer(r4(6), 1), transfer(r4(17), 1), code
    end do
    close(10)
  end if
end program results_file
